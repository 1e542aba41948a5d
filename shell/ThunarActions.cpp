#include "shell/ThunarActions.h"

#include "platform/SafeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cerrno>

namespace {

const QString fileName = QStringLiteral("uca.xml");
const QByteArray emptyActions = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// The base directory rules ignore a relative XDG_CONFIG_HOME, as Thunar does.
QString thunarFolder() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString home =
        !config.isEmpty() && QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return home + QStringLiteral("/Thunar");
}

// Text as XML element content; nothing when it holds a character that XML cannot carry at all.
// A carriage return goes as a reference, since a reader turns a literal one into a line feed.
std::optional<QString> xmlText(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
        } else if (c == u'&') {
            out += QStringLiteral("&amp;");
        } else if (c == u'<') {
            out += QStringLiteral("&lt;");
        } else if (c == u'>') {
            out += QStringLiteral("&gt;");
        } else if (c == u'\r') {
            out += QStringLiteral("&#13;");
        } else if (c == u'\t' || c == u'\n' || (c >= 0x20 && !QChar::isSurrogate(c) && c < 0xfffe)) {
            out += text[i];
        } else {
            return std::nullopt;
        }
    }
    return out;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// One <action> child of the root: where its text begins and ends, and its unique-id.
struct ActionSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
    QString id;
};

// The root element and its actions as the reader found them, in offsets of the text.
struct ActionsDocument {
    qsizetype rootTagEnd = 0;  // just after the root's start tag
    qsizetype closeBegin = 0;  // where the root's end tag begins; the start tag's "<" when it has none
    bool rootIsEmpty = false;  // <actions/>
    QList<ActionSpan> actions; // every <action> child, in order
};

QString notActions(const QString& why) {
    return QStringLiteral("it does not parse as Thunar's actions (%1)").arg(why);
}

// Thunar's reader skips the XML declaration, and older Thunar releases wrote one that XML readers
// refuse (encoding before version), so readers are given the text with the declaration, and a byte
// order mark, blanked; offsets stay those of text.
QString readableText(const QString& text) {
    QString readable = text;
    qsizetype start = 0;
    if (readable.startsWith(QChar(0xfeff))) {
        readable[0] = u' ';
        start = 1;
    }
    if (QStringView(readable).mid(start, 5) == u"<?xml" && start + 5 < readable.size() &&
        readable[start + 5].isSpace()) {
        const qsizetype end = readable.indexOf(QStringLiteral("?>"), start);
        for (qsizetype i = start; end > 0 && i < end + 2; ++i) {
            if (readable[i] != u'\n')
                readable[i] = u' ';
        }
    }
    return readable;
}

// Reads text as Thunar's actions.
std::optional<ActionsDocument> readActions(const QString& text, QString* error) {
    const QString readable = readableText(text);

    // After a start or end tag the reader's offset is just past its ">"; the tag began at the last
    // "<" before that, since no "<" can stand inside a tag.
    QXmlStreamReader reader(readable);
    reader.setNamespaceProcessing(false);
    ActionsDocument document;
    ActionSpan action;
    bool inAction = false;
    int depth = 0;
    qsizetype rootBegin = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const qsizetype end = reader.characterOffset();
        const qsizetype begin = readable.lastIndexOf(u'<', end - 1);
        if (token == QXmlStreamReader::DTD) {
            // Its entities would be read as their text and its declarations not at all: a rewrite
            // could not be checked against the file, so it is not attempted.
            setError(error,
                     QStringLiteral("it declares a document type (DTD), which Trovex cannot rewrite faithfully"));
            return std::nullopt;
        }
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1 && reader.name() != u"actions") {
                setError(error,
                         notActions(QStringLiteral("its root element is <%1>, not <actions>").arg(reader.name())));
                return std::nullopt;
            }
            if (depth == 1) {
                rootBegin = begin;
                document.rootTagEnd = end;
            } else if (depth == 2 && reader.name() == u"action") {
                action = {begin, 0, {}};
                inAction = true;
            } else if (depth == 3 && inAction && reader.name() == u"unique-id") {
                action.id = reader.readElementText(); // up to and with its end tag
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && inAction) {
                action.end = end;
                document.actions << action;
                inAction = false;
            } else if (depth == 1) {
                document.closeBegin = begin;
                document.rootIsEmpty = begin == rootBegin;
            }
            --depth;
        }
    }
    if (reader.hasError()) {
        setError(error, notActions(QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString())));
        return std::nullopt;
    }
    return document;
}

// One token as a reader gives it, for documentView.
QString tokenView(const QXmlStreamReader& reader) {
    const QChar bar = u'|';
    QString item =
        QString::number(int(reader.tokenType())) + bar + reader.name().toString() + bar + reader.text().toString();
    if (reader.tokenType() == QXmlStreamReader::StartElement) {
        QStringList attributes;
        for (const QXmlStreamAttribute& a : reader.attributes())
            attributes << a.qualifiedName().toString() + u'=' + a.value().toString();
        attributes.sort();
        item += bar + attributes.join(bar);
    } else if (reader.tokenType() == QXmlStreamReader::ProcessingInstruction) {
        item +=
            bar + reader.processingInstructionTarget().toString() + bar + reader.processingInstructionData().toString();
    }
    return item;
}

// What a reader sees of a text, token by token and without blanks between elements: Trovex's own
// actions apart, the rest as it comes. Two texts whose rest is the same are the same document to
// Thunar but for Trovex's actions.
struct DocumentView {
    QStringList rest;
    QList<QStringList> ours;
    bool operator==(const DocumentView&) const = default;
};

// Nothing when the text does not parse.
std::optional<DocumentView> documentView(const QString& text) {
    QXmlStreamReader reader(readableText(text));
    reader.setNamespaceProcessing(false);
    DocumentView view;
    QStringList action; // the tokens of an <action> of the root, until its unique-id is known
    QString id;
    bool inAction = false;
    bool inId = false;
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Characters && reader.isWhitespace())
            continue;
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 2 && reader.name() == u"action") {
                inAction = true;
                id.clear();
            }
            inId = inAction && depth == 3 && reader.name() == u"unique-id";
        }
        if (inId && token == QXmlStreamReader::Characters)
            id += reader.text();
        (inAction ? action : view.rest) << tokenView(reader);
        if (token == QXmlStreamReader::EndElement) {
            inId = false;
            if (depth == 2 && inAction) {
                if (id == ThunarActions::uniqueId)
                    view.ours << action;
                else
                    view.rest << action;
                action.clear();
                inAction = false;
            }
            --depth;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return view;
}

// Puts action into the user's uca.xml, or takes Trovex's out of it when action is empty.
bool update(const QString& action, QString* error) {
    int code = 0;
    const platform::SafeFolder folder = platform::SafeFolder::openBase(thunarFolder(), !action.isEmpty(), error, &code);
    if (!folder.isOpen())
        return action.isEmpty() && (code == ENOENT || code == ENOTDIR); // no folder, so no action in it
    QString reason;
    std::optional<QByteArray> original = folder.readFile(fileName, &reason, &code);
    const bool existed = original.has_value();
    if (!existed) {
        if (code != ENOENT) {
            setError(error, reason);
            return false;
        }
        if (action.isEmpty())
            return true;
        original = ThunarActions::newFileText();
    }
    const std::optional<QByteArray> text = ThunarActions::spliced(*original, action, &reason);
    if (!text) {
        setError(
            error,
            QStringLiteral("Cannot update \"%1\": %2, so it is left as it is").arg(folder.pathOf(fileName), reason));
        return false;
    }
    if (existed && *text == *original)
        return true;
    if (existed && action.isEmpty() && *text == ThunarActions::newFileText())
        return folder.removeFile(fileName, error);
    // Thunar, too, writes the file for its owner alone.
    return folder.writeFile(fileName, *text, 0600, error);
}

} // namespace

QString ThunarActions::path() {
    return thunarFolder() + u'/' + fileName;
}

QString ThunarActions::actionText(const DesktopMenuCommand& command) {
    const std::optional<QString> name = xmlText(command.text);
    const std::optional<QString> line =
        xmlText(DesktopMenuEntries::shellCommandLine(command.programPath, command.arguments));
    if (!name || !line)
        return {};
    // The types of what the action is offered on; Thunar counts every file in one of the five.
    QString types;
    if (command.onFolders)
        types += QStringLiteral("\t<directories/>\n");
    if (command.onFiles)
        types +=
            QStringLiteral("\t<audio-files/>\n\t<image-files/>\n\t<other-files/>\n\t<text-files/>\n\t<video-files/>\n");
    // Only the elements that every Thunar release reads: an unknown one fails the whole file.
    return QStringLiteral("<action>\n"
                          "\t<icon>%1</icon>\n"
                          "\t<name>%2</name>\n"
                          "\t<unique-id>%3</unique-id>\n"
                          "\t<command>%4</command>\n"
                          "\t<description>%5</description>\n"
                          "\t<patterns>*</patterns>\n"
                          "%6"
                          "</action>")
        .arg(desktopMenuIcon, *name, uniqueId, *line, desktopMenuComment, types);
}

namespace {

// Checks that result reads as original does, but for Trovex's action, which is action alone (none
// when action is empty): a rewrite that would change or lose anything else is refused.
std::optional<QByteArray> faithful(const QString& original, const QString& result, const QString& action,
                                   QString* error) {
    const std::optional<DocumentView> before = documentView(original);
    const std::optional<DocumentView> after = documentView(result);
    std::optional<DocumentView> wanted =
        documentView(QStringLiteral("<actions>") + action + QStringLiteral("</actions>"));
    if (before && wanted)
        wanted->rest = before->rest;
    if (!before || !wanted || !after || *after != *wanted) {
        setError(error, QStringLiteral("rewritten, it would not read back as the same document"));
        return std::nullopt;
    }
    return result.toUtf8();
}

} // namespace

std::optional<QByteArray> ThunarActions::spliced(const QByteArray& original, const QString& action, QString* error) {
    // Kept as a character, the byte order mark comes back with the text, which then encodes to
    // exactly the bytes it was read from.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(original);
    if (decoder.hasError()) {
        setError(error, notActions(QStringLiteral("it is not UTF-8 text")));
        return std::nullopt;
    }
    const std::optional<ActionsDocument> document = readActions(text, error);
    if (!document)
        return std::nullopt;
    QList<ActionSpan> ours;
    for (const ActionSpan& span : document->actions) {
        if (span.id == ThunarActions::uniqueId)
            ours << span;
    }

    QString result = text;
    if (ours.isEmpty()) {
        if (action.isEmpty())
            return original;
        if (document->rootIsEmpty) {
            result.replace(document->rootTagEnd - 2, 2,
                           QStringLiteral(">\n") + action + QStringLiteral("\n</actions>"));
        } else {
            // On a line of its own where the end tag starts one, so that removing it gives the
            // text back as it was.
            qsizetype at = document->closeBegin;
            while (at > 0 && isBlank(text[at - 1]))
                --at;
            if (at == 0 || text[at - 1] == u'\n')
                result.insert(at, action + u'\n');
            else
                result.insert(document->closeBegin, action);
        }
        return faithful(text, result, action, error);
    }
    // From the last to the first, so that the offsets of those before stay right.
    for (qsizetype i = ours.size() - 1; i >= 0; --i) {
        const ActionSpan& span = ours[i];
        if (i == 0 && !action.isEmpty()) {
            result.replace(span.begin, span.end - span.begin, action);
            continue;
        }
        qsizetype begin = span.begin;
        qsizetype end = span.end;
        while (begin > 0 && isBlank(text[begin - 1]))
            --begin;
        while (end < text.size() && (isBlank(text[end]) || text[end] == u'\r'))
            ++end;
        if ((begin == 0 || text[begin - 1] == u'\n') && end < text.size() && text[end] == u'\n')
            result.remove(begin, end + 1 - begin);
        else
            result.remove(span.begin, span.end - span.begin);
    }
    return faithful(text, result, action, error);
}

QByteArray ThunarActions::newFileText() {
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    // Thunar reads the first one there is and shows nothing when that one fails to parse.
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        QFile file(dir + QStringLiteral("/Thunar/") + fileName);
        if (!QDir::isAbsolutePath(dir) || !QFileInfo(file.fileName()).isFile())
            continue;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (spliced(bytes, {}))
                return bytes;
        }
        break;
    }
    return emptyActions;
}

bool ThunarActions::write(const DesktopMenuCommand& command, QString* error) {
    if (!command.onFolders && !command.onFiles)
        return remove(error);
    const QString action = actionText(command);
    if (!action.isEmpty())
        return update(action, error);
    // An action left from an earlier path would start the program that is no longer there.
    if (update({}, error)) {
        setError(error, QStringLiteral("Cannot write \"%1\": Thunar cannot be given a program path that holds a "
                                       "control character or bytes that are not UTF-8")
                            .arg(path()));
    }
    return false;
}

bool ThunarActions::remove(QString* error) {
    return update({}, error);
}
