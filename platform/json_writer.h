// A small streaming writer of indented UTF-8 JSON for the readable views of blocks and files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvora {

// Containers opened with oneLine = true are written on a single line, which keeps tables of
// small records readable (one record a line).
class JsonWriter {
 public:
  void BeginObject(bool oneLine = false);
  void EndObject();
  void BeginArray(bool oneLine = false);
  void EndArray();
  // Inside an object: the key of the next value.
  void Key(std::string_view utf8);
  void String(std::string_view utf8);
  void Number(std::int64_t value);

  // The text written so far (no final line feed), leaving the writer empty.
  std::string Take();

 private:
  struct Level {
    bool oneLine;
    bool empty;
  };

  void BeforeValue();
  void Close(char bracket);
  void Indent(std::size_t depth);

  std::string out_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

// `utf8` as a quoted JSON string; quotes, backslashes and control characters are escaped.
std::string JsonQuote(std::string_view utf8);

}  // namespace telvora
