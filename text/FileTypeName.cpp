#include "text/FileTypeName.h"

#include <QMimeDatabase>

QString FileTypeName(const QString& typeText) {
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QLatin1Char('*') + typeText, QMimeDatabase::MatchExtension);
    QString name;
    if (type.isValid() && !type.isDefault())
        name = type.comment();
    if (name.isEmpty()) {
        const QString bare = typeText.startsWith(QLatin1Char('.')) ? typeText.mid(1) : typeText;
        name = bare.isEmpty() ? QStringLiteral("File") : bare.toUpper() + QStringLiteral(" File");
    }
    return name.left(80);
}

const QString& FileTypeNameCache::name(const QString& typeText,
                                       const std::function<QString(const QString& typeText)>& lookup) {
    auto it = m_names.find(typeText);
    if (it == m_names.end())
        it = m_names.insert(typeText, lookup(typeText));
    return it.value();
}
