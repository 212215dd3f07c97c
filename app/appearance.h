#pragma once
// The desktop's light or dark preference, from the desktop portal's
// "org.freedesktop.appearance" "color-scheme" setting (1 dark, 2 light,
// 0 none), followed while the application runs. Without the portal, or
// with a reply of another shape, the palette the desktop gave decides.

#include <QObject>
#include <QVariant>
#include <optional>

class QDBusVariant;

namespace velumar {

// The scheme in a portal reply: the number, found inside up to three
// nested variants; nothing for any other shape.
std::optional<unsigned> colorSchemeFromReply(const QVariant& reply);

class Appearance : public QObject {
  Q_OBJECT

 public:
  // paletteIsDark: the desktop palette's window colour is dark.
  explicit Appearance(bool paletteIsDark, QObject* parent = nullptr);

  bool isDark() const { return dark_; }
  // The status item's image for the current look.
  QString statusImageName() const;

 signals:
  void changed(bool dark);

 private slots:
  void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

 private:
  void apply(std::optional<unsigned> scheme);

  bool paletteIsDark_;
  bool dark_;
};

}  // namespace velumar
