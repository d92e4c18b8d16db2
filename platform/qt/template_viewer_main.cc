// Shows one dialog template as the program builds it, to look at or to save as a picture:
//   telvora-templates 102 [--sheet] [--internet] [--grab FILE.png] [--list]
#include <QApplication>
#include <QPixmap>

#include <charconv>
#include <cstdio>
#include <string>

#include "platform/qt/dialog_builder.h"
#include "platform/qt/property_sheet.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/window_icon.h"
#include "resources/templates.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: telvora-templates ID [--sheet] [--internet] [--grab FILE.png] [--list]\n"
               "  ID          template number: 102, 130, 131 or 134\n"
               "  --sheet     with 102: the basic and numbers pages on their sheet\n"
               "  --internet  with --sheet: the internet page as a third page\n"
               "  --grab      save the window as a picture and quit\n"
               "  --list      print every control's place in units and pixels\n");
}

const char* KindName(telvora::ControlKind kind) {
  using telvora::ControlKind;
  switch (kind) {
    case ControlKind::kStatic:
      return "static";
    case ControlKind::kEdit:
      return "edit";
    case ControlKind::kPasswordEdit:
      return "password";
    case ControlKind::kPushButton:
      return "button";
    case ControlKind::kCheckBox:
      return "check";
    case ControlKind::kMultiLineCheckBox:
      return "check-ml";
    case ControlKind::kGroupFrame:
      return "frame";
    case ControlKind::kDropDownCombo:
      return "combo";
    case ControlKind::kListBox:
      return "list";
    case ControlKind::kRichEdit:
      return "richedit";
  }
  return "?";
}

void List(const telvora::DialogTemplate& dialog) {
  const telvora::DialogBuilder& b = telvora::SharedDialogBuilder();
  std::printf("template %d: base %dx%d px, scale %.2f, %dx%d px\n", dialog.id, b.BaseX(), b.BaseY(),
              b.ScaleX(), b.DialogSize(dialog).width(), b.DialogSize(dialog).height());
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const telvora::ControlTemplate& c = dialog.controls[i];
    const QRectF f = b.FittedRect(dialog, i);
    const QRect p = b.ControlRect(dialog, i);
    std::printf("%5d %-9s %3d,%3d,%3d,%3d -> %6.1f,%6.1f,%6.1f,%6.1f -> %4d,%4d,%4d,%4d  %s\n",
                c.id, KindName(c.kind), c.rect.x, c.rect.y, c.rect.w, c.rect.h, f.x(), f.y(),
                f.width(), f.height(), p.x(), p.y(), p.width(), p.height(),
                qPrintable(telvora::TemplateText(c).replace(QLatin1Char('\n'), QLatin1Char('|'))));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int id = 0;
  bool sheet = false;
  bool internet = false;
  bool list = false;
  QString grab;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--sheet") {
      sheet = true;
    } else if (arg == "--internet") {
      internet = true;
    } else if (arg == "--list") {
      list = true;
    } else if (arg == "--grab" && i + 1 < argc) {
      grab = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-') {
      const auto [end, error] = std::from_chars(arg.data(), arg.data() + arg.size(), id);
      if (error != std::errc() || end != arg.data() + arg.size()) {
        Usage();
        return 2;
      }
    } else {
      Usage();
      return 2;
    }
  }
  const telvora::DialogTemplate* dialog = telvora::FindTemplate(id);
  if (dialog == nullptr) {
    Usage();
    return 2;
  }
  if (list) {
    List(*dialog);
    return 0;
  }

  telvora::QtDialog window(*dialog);
  window.setWindowIcon(telvora::TelvoraIcon());
  if (sheet && id == telvora::kMainWindowTemplate) {
    auto* pages = new telvora::QtPropertySheet(&window);
    pages->AddPage(new telvora::QtDialog(*telvora::FindTemplate(telvora::kBasicPageTemplate)));
    pages->AddPage(new telvora::QtDialog(*telvora::FindTemplate(telvora::kNumbersPageTemplate)));
    if (internet) {
      pages->AddPage(new telvora::QtDialog(*telvora::FindTemplate(telvora::kInternetPageTemplate)));
    }
    pages->move(10, 0);
    pages->resize(pages->sizeHint());
  }
  window.show();
  if (!grab.isEmpty()) {
    // grab() polishes the widgets and lays them out itself; no event loop is needed.
    if (!window.grab().save(grab)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(grab));
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
