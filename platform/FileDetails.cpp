#include "platform/FileDetails.h"

#include "platform/DirEnum.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"
#include "text/FileTypeName.h"

std::optional<FileDetails> readFileDetails(const QString& path) {
    FileDetails details;
    details.name = ExtractFileName(path);
    details.folder = ExtractFilePath(path);
    if (details.folder.isEmpty())
        return std::nullopt;

    const QByteArray name = platform::encodeFileName(details.name);
    platform::DirEnum dir;
    if (!dir.open(platform::encodeFileName(details.folder).constData()))
        return std::nullopt;
    for (qsizetype i = 0; i < dir.count(); ++i) {
        if (dir.name(i) != std::string_view(name.constData(), size_t(name.size())))
            continue;
        const platform::DirEntry& e = dir.entry(i);
        const DateTextFormat& dates = DateTextFormat::system();
        // Metadata that could not be read stays empty rather than showing made-up values.
        if (!(e.attr & FileAttr::Unread)) {
            details.size = e.size;
            details.sizeText = FormatSize(e.size);
            details.created = dates.formatFileTime(e.created);
            details.modified = dates.formatFileTime(e.modified);
        }
        details.attributes = AttribLetters(e.attr);
        details.typeName = FileTypeName(ExtractExt(details.name));
        return details;
    }
    return std::nullopt;
}
