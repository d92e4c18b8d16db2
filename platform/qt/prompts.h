// Questions the window puts to the user: the OK-only message box and the open and save
// file dialogs. Each can be answered by a hook instead, so that tests never block.
#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

class QWidget;

namespace telvora {

// Modal, with an OK button only, captioned with the application's title.
void ShowMessageBox(QWidget* parent, std::u16string_view text);

// While set, ShowMessageBox hands its text to the hook and shows nothing. Returns the
// hook it replaces; an empty hook brings the real box back.
using MessageBoxHook = std::function<void(const QString& text)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

struct FileDialogRequest {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  QString title;                 // empty: the dialog's own caption
  std::filesystem::path folder;  // where it opens
  // Windows form: description and pattern pairs, each followed by '|', such as
  // "Files (*.cfg)|*.cfg|All Files (*.*)|*.*|".
  std::string_view filter;
  QString default_suffix;  // added to a name typed without one, such as "cfg"
};

// The Windows filter as Qt name filters: "All Files (*.*)|*.*|" becomes "All Files (*)",
// since "*.*" on Windows means every file and here only names with a dot.
QStringList QtNameFilters(std::string_view windows_filter);

// Asks for a file; nullopt when the user cancels. Saving asks before overwriting a file,
// opening accepts a name that does not exist (the caller reports it). A name without an
// extension gets the default suffix when saving, and when opening if the bare name does
// not exist.
std::optional<std::filesystem::path> AskFileName(QWidget* parent, const FileDialogRequest& request);

// While set, AskFileName asks the hook instead of showing a dialog. Returns the hook it
// replaces.
using FileDialogHook =
    std::function<std::optional<std::filesystem::path>(const FileDialogRequest& request)>;
FileDialogHook SetFileDialogHook(FileDialogHook hook);

}  // namespace telvora
