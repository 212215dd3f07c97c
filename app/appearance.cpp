#include "app/appearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace velumar {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");
constexpr unsigned kDarkScheme = 1;
constexpr int kPortalTimeoutMs = 1000;

}  // namespace

std::optional<unsigned> colorSchemeFromReply(const QVariant& reply) {
  QVariant value = reply;
  for (int depth = 0; depth < 3 && value.canConvert<QDBusVariant>() &&
                      value.metaType() == QMetaType::fromType<QDBusVariant>();
       ++depth)
    value = value.value<QDBusVariant>().variant();
  switch (value.metaType().id()) {
    case QMetaType::UInt:
      return value.toUInt();
    case QMetaType::Int:
      return value.toInt() >= 0 ? std::optional(unsigned(value.toInt())) : std::nullopt;
    default:
      return std::nullopt;
  }
}

Appearance::Appearance(bool paletteIsDark, QObject* parent)
    : QObject(parent), paletteIsDark_(paletteIsDark), dark_(paletteIsDark) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  // The slot's argument type must be known before the signal is matched.
  qRegisterMetaType<QDBusVariant>();
  bus.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
              SLOT(settingChanged(QString, QString, QDBusVariant)));
  QDBusMessage read =
      QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("Read"));
  read << kAppearanceGroup << kColorSchemeKey;
  const QDBusMessage reply = bus.call(read, QDBus::Block, kPortalTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1)
    apply(colorSchemeFromReply(reply.arguments().front()));
}

QString Appearance::statusImageName() const {
  return dark_ ? QStringLiteral("MenuBarAlt") : QStringLiteral("MenuBar");
}

void Appearance::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
  if (group != kAppearanceGroup || key != kColorSchemeKey) return;
  apply(colorSchemeFromReply(QVariant::fromValue(value)));
}

void Appearance::apply(std::optional<unsigned> scheme) {
  // No preference, or a reply we do not understand, leaves it to the palette.
  const bool dark = scheme && *scheme != 0 ? *scheme == kDarkScheme : paletteIsDark_;
  if (dark == dark_) return;
  dark_ = dark;
  emit changed(dark_);
}

}  // namespace velumar
