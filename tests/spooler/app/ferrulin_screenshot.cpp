// ferrulin_screenshot OUTPUT.png: renders the spooler's window after two jobs
// were delivered and saves it as a picture (the one in docs/). It runs the
// real window, program and Qt main loop on Qt's offscreen platform in a
// temporary data directory: hostsim holds the lock of LABEL1 as a running
// host spooler that prints (takes away) what it gets; PREP1's job goes to LABEL1, PREP2's
// destination LABEL2 is down so its job goes to the backup LABEL1.
#include "formats/configuration_file.h"
#include "formats/virtual_table.h"
#include "spooler/app/ferrulin_window.h"
#include "spooler/app/qt_main_loop.h"
#include "spooler/ferrulin_program.h"

#include "temp_dir.h"

#include <QApplication>
#include <QPixmap>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <iostream>

namespace {

void writeConfiguration() {
  velmora::formats::TVirtualTable table("tblConfig");
  velmora::formats::addConfigurationFields(table);
  table.Open();
  const std::vector<std::vector<std::string>> rows = {
      {"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt", "Labels", "Map", "Time", "Total"},
      {"PREP2", "LABEL2", "LABEL1", "LabelDesign.txt", "Labels", "Map", "Time", "Total"},
  };
  for (const auto& row : rows) {
    table.Append();
    for (std::size_t i = 0; i < row.size(); ++i)
      table.Fields(i).SetAsString(row[i]);
    table.Post();
  }
  table.SaveToXML(velmora::formats::kConfigurationFile);
}

bool waitFor(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, 10000);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ferrulin_screenshot OUTPUT.png\n";
    return 2;
  }
  const auto output = std::filesystem::absolute(argv[1]);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  char program[] = "Ferrulin";
  char* programArgv[] = {program, nullptr};
  int programArgc = 1;
  QApplication app(programArgc, programArgv);
  QApplication::setApplicationName(QStringLiteral("Ferrulin"));
  QApplication::setQuitOnLastWindowClosed(false);

  velmora::test::TempWorkDir dataDir;
  velmora::test::writeBytes("LabelDesign.txt", "<Item Name>\r\n<Modifiers>\r\n");
  writeConfiguration();

  QProcess host;
  host.start(QStringLiteral(VELMORA_HOSTSIM),
             {"hold", QString::fromStdString(dataDir.path().string()), "LABEL1", "--take-jobs"});
  if (!waitFor([&] { return host.readAll().contains("holding LABEL1"); })) {
    std::cerr << "hostsim did not take the lock of LABEL1\n";
    return 1;
  }

  int exitCode = 0;
  {
    velmora::spooler::app::QtMainLoop loop;
    // No box may wait for a click here: what a box would say goes to stderr.
    velmora::spooler::app::FerrulinWindowHooks hooks =
        velmora::spooler::app::FerrulinWindowHooks::system();
    hooks.messageBox = [](const QString& title, const QString& text, QMessageBox::Icon) {
      std::cerr << title.toStdString() << ": " << text.toStdString() << "\n";
    };
    velmora::spooler::app::FerrulinWindow window(hooks);
    velmora::spooler::FerrulinProgram ferrulin(loop, window, {});
    window.show();

    const QString hostsim = QStringLiteral(VELMORA_HOSTSIM);
    const QString dir = QString::fromStdString(dataDir.path().string());
    QProcess::execute(hostsim, {"drop", dir, "PREP1", "--items", "3"});
    if (!waitFor([&] {
          return window.lbQ().count() == 1 && !std::filesystem::exists("PREP1/JOB0001.spl");
        })) {
      std::cerr << "the first job was not delivered\n";
      exitCode = 1;
    }
    QProcess::execute(hostsim, {"drop", dir, "PREP2", "--items", "2"});
    if (!waitFor([&] {
          return window.lbQ().count() == 2 && !std::filesystem::exists("PREP2/JOB0001.spl");
        })) {
      std::cerr << "the second job was not delivered\n";
      exitCode = 1;
    }
    QTest::qWait(200);
    if (!window.grab().save(QString::fromStdString(output.string()))) {
      std::cerr << "cannot save " << output << "\n";
      exitCode = 1;
    }
  }
  host.terminate();
  host.waitForFinished(5000);
  return exitCode;
}
