#include "qt/qsettings_store.h"

#include <QSettings>
#include <QStringList>

#include <memory>

namespace qzr {
namespace {

std::unique_ptr<QSettings> OpenStore()
{
#if defined(Q_OS_WIN)
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\qzr\\no"), QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QStringLiteral("qzr"), QStringLiteral("no"));
#endif
}

QString KeyOf(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace

std::optional<std::string> CQSettingsStore::Read(std::string_view name) const
{
    const auto store = OpenStore();
    const QString key = KeyOf(name);
    if (store->status() != QSettings::NoError || !store->contains(key))
        return std::nullopt;
    const QVariant value = store->value(key);
    // An INI value with commas reads as a list: its text is the parts joined again.
    const QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                                   : value.toString();
    return text.toUtf8().toStdString();
}

bool CQSettingsStore::Write(std::string_view name, std::string_view text)
{
    const auto store = OpenStore();
    store->setValue(KeyOf(name), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    store->sync();
    return store->status() == QSettings::NoError;
}

}  // namespace qzr
