#include "ResourceFonts.h"

#include <QFile>

namespace kalo {

bool ResourceFonts::Find(const std::string& name, std::string& bytes)
{
    QFile file(QStringLiteral(":/kalo/fonts/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte past the limit, so the check sees an image too large.
    const QByteArray data = file.read(qint64(kMaxFontImageBytes) + 1);
    bytes.assign(data.constData(), size_t(data.size()));
    return true;
}

} // namespace kalo
