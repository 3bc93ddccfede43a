#include "WindowMemory.h"

#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QWidget>

namespace garrison {

bool WindowMemory::restore(QWidget& window, const QString& key)
{
    const QString stored = SettingsStore::read(kSection, key);
    return !stored.isEmpty() && window.restoreGeometry(QByteArray::fromBase64(stored.toLatin1()));
}

void WindowMemory::remember(const QWidget& window, const QString& key)
{
    SettingsStore::write(kSection, key, QString::fromLatin1(window.saveGeometry().toBase64()));
}

} // namespace garrison
