// Entry point of the configurator's window.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/telvora_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList qtArgs = QApplication::arguments();
  std::vector<std::string> args;
  for (qsizetype i = 1; i < qtArgs.size(); ++i) args.push_back(qtArgs[i].toStdString());
  telvora::CTelvoraApp app;
  std::string problem;
  if (!app.ParseArguments(args, problem)) {
    std::cerr << "telvora: " << problem << "\n";
    return 2;
  }
  return app.InitInstance();
}
