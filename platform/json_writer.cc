// Indented JSON output with proper string escaping.
#include "platform/json_writer.h"

#include <cassert>
#include <cstdio>

namespace telvora {

std::string JsonQuote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
  return out;
}

void JsonWriter::Indent(std::size_t depth) {
  out_.push_back('\n');
  out_.append(depth * 2, ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) {
    return;
  }
  Level& level = levels_.back();
  if (!level.empty) {
    out_.push_back(',');
  }
  if (level.oneLine) {
    if (!level.empty) {
      out_.push_back(' ');
    }
  } else {
    Indent(levels_.size());
  }
  level.empty = false;
}

void JsonWriter::BeginObject(bool oneLine) {
  BeforeValue();
  out_.push_back('{');
  // A one-line container keeps everything inside it on its line.
  const bool inherited = !levels_.empty() && levels_.back().oneLine;
  levels_.push_back({oneLine || inherited, true});
}

void JsonWriter::BeginArray(bool oneLine) {
  BeforeValue();
  out_.push_back('[');
  const bool inherited = !levels_.empty() && levels_.back().oneLine;
  levels_.push_back({oneLine || inherited, true});
}

void JsonWriter::Close(char bracket) {
  assert(!levels_.empty());
  const Level level = levels_.back();
  levels_.pop_back();
  if (!level.oneLine && !level.empty) {
    Indent(levels_.size());
  }
  out_.push_back(bracket);
}

void JsonWriter::EndObject() {
  Close('}');
}
void JsonWriter::EndArray() {
  Close(']');
}

void JsonWriter::Key(std::string_view utf8) {
  BeforeValue();
  out_ += JsonQuote(utf8);
  out_ += ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  out_ += JsonQuote(utf8);
}

void JsonWriter::Number(std::int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

std::string JsonWriter::Take() {
  std::string result = std::move(out_);
  out_.clear();
  levels_.clear();
  afterKey_ = false;
  return result;
}

}  // namespace telvora
