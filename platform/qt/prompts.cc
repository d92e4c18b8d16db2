// The message box and the file dialogs, and their hooks for tests.
#include "platform/qt/prompts.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include <utility>

#include "platform/qt/qt_dialog.h"
#include "resources/strings.h"

namespace telvora {
namespace {

MessageBoxHook& MessageHook() {
  static MessageBoxHook hook;
  return hook;
}

FileDialogHook& FileHook() {
  static FileDialogHook hook;
  return hook;
}

std::filesystem::path ToPath(const QString& name) {
  const QByteArray local = QFile::encodeName(name);
  return {std::string(local.constData(), static_cast<std::size_t>(local.size()))};
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace

void ShowMessageBox(QWidget* parent, std::u16string_view text) {
  if (const MessageBoxHook& hook = MessageHook()) {
    hook(ToQString(text));
    return;
  }
  QMessageBox box(QMessageBox::NoIcon,
                  QString::fromUtf8(kAppTitle.data(), qsizetype(kAppTitle.size())), ToQString(text),
                  QMessageBox::Ok, parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  return std::exchange(MessageHook(), std::move(hook));
}

QStringList QtNameFilters(std::string_view windows_filter) {
  const QStringList parts =
      QString::fromUtf8(windows_filter.data(), qsizetype(windows_filter.size()))
          .split(QLatin1Char('|'));
  static const QRegularExpression kTrailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    if (description.isEmpty()) {
      continue;
    }
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      if (pattern.isEmpty()) {
        continue;
      }
      patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty()) {
      continue;
    }
    description.remove(kTrailingPatterns);
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return filters;
}

std::optional<std::filesystem::path> AskFileName(QWidget* parent,
                                                 const FileDialogRequest& request) {
  std::optional<std::filesystem::path> chosen;
  if (const FileDialogHook& hook = FileHook()) {
    chosen = hook(request);
  } else {
    QFileDialog dialog(parent, request.title, FromPath(request.folder));
    const bool save = request.mode == FileDialogRequest::Mode::kSave;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(QtNameFilters(request.filter));
    dialog.setDefaultSuffix(request.default_suffix);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = ToPath(dialog.selectedFiles().constFirst());
    }
  }
  if (!chosen || chosen->empty()) {
    return std::nullopt;
  }
  if (!request.default_suffix.isEmpty() && !chosen->has_extension() && chosen->has_filename()) {
    std::error_code ec;
    const bool save = request.mode == FileDialogRequest::Mode::kSave;
    if (save || !std::filesystem::exists(*chosen, ec)) {
      chosen->replace_extension(ToPath(request.default_suffix));
    }
  }
  return chosen;
}

FileDialogHook SetFileDialogHook(FileDialogHook hook) {
  return std::exchange(FileHook(), std::move(hook));
}

}  // namespace telvora
