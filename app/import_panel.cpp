#include "app/import_panel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/foundation/user_defaults.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/type_detection.h"

namespace velumar {

namespace {

std::string localPath(const QString& path) {
  const QByteArray encoded = QFile::encodeName(path);
  return std::string(encoded.constData(), std::size_t(encoded.size()));
}

// "*.jpg *.jpeg ..." for every type we read.
QString imageNameFilter() {
  QStringList patterns;
  for (const std::string& type : imageio::readableTypes()) {
    const imageio::Codec* codec = imageio::codecForType(type);
    if (codec == nullptr) continue;
    for (const std::string& extension : codec->extensions)
      patterns << QStringLiteral("*.") + QString::fromStdString(extension);
  }
  patterns.removeDuplicates();
  return QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

}  // namespace

std::optional<ImportPanelChoice> runImportPanel(QWidget* parent, const ImportPanelOptions& options,
                                                foundation::UserDefaults& defaults) {
  // The panel opens in the folder it was in last, else at home (never in
  // the process's working folder).
  const QString lastFolder = QFile::decodeName(
      QByteArray::fromStdString(defaults.stringForKey(kImportFolderDefaultsKey).value_or("")));
  const QString start =
      QFileInfo(lastFolder).isAbsolute() && QFileInfo(lastFolder).isDir() ? lastFolder : QDir::homePath();
  QFileDialog panel(parent, QStringLiteral("Source Folder"), start);
  panel.setObjectName(QStringLiteral("importPanel"));
  panel.setOption(QFileDialog::ReadOnly);  // cannot create folders
  panel.setFileMode(options.folder ? QFileDialog::Directory : QFileDialog::ExistingFiles);
  if (options.folder)
    panel.setOption(QFileDialog::ShowDirsOnly);
  else
    panel.setNameFilter(imageNameFilter());
  panel.setLabelText(QFileDialog::Accept,
                     options.forPreview ? QStringLiteral("Import") : QStringLiteral("Process"));
  panel.setLabelText(QFileDialog::LookIn, QStringLiteral("Select source folder/images."));
  ImportPanelChoice choice;
  QObject::connect(&panel, &QFileDialog::directoryEntered,
                   [&choice](const QString& folder) { choice.openPanelURL = localPath(folder); });
  const int answer = panel.exec();
  // The next panel opens where the choice was, also when it was typed:
  // in the folder chosen, or in the folder of the images chosen.
  const QStringList chosen = answer == QDialog::Accepted ? panel.selectedFiles() : QStringList();
  const QString nextFolder = chosen.isEmpty() ? panel.directory().absolutePath()
                             : options.folder ? chosen.front()
                                              : QFileInfo(chosen.front()).absolutePath();
  defaults.set(kImportFolderDefaultsKey, foundation::Value(localPath(nextFolder)));
  if (answer != QDialog::Accepted) return std::nullopt;
  for (const QString& file : panel.selectedFiles()) choice.paths.push_back(localPath(file));
  choice.directoryURL = localPath(panel.directory().absolutePath());
  if (choice.paths.empty()) return std::nullopt;
  return choice;
}

}  // namespace velumar
