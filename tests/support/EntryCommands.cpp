#include "support/EntryCommands.h"

QString keyValue(const QString& text, const QString& key) {
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

std::optional<QString> unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\')) {
            out += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        switch (value[i].unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::optional<QStringList> parseShellWords(const QString& line) {
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('\'')) {
            const qsizetype end = line.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return std::nullopt;
            word += line.mid(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == QLatin1Char('"')) {
            inWord = true;
            for (++i;; ++i) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == QLatin1Char('"'))
                    break;
                if (line[i] == QLatin1Char('\\') && i + 1 < line.size() &&
                    QStringLiteral("$`\"\\\n").contains(line[i + 1]))
                    ++i;
                word += line[i];
            }
        } else if (c == QLatin1Char('\\')) {
            if (++i == line.size())
                return std::nullopt;
            word += line[i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

std::optional<QStringList> nemoCommand(const QString& exec, const QString& clicked, bool escapes) {
    const std::optional<QString> line = unescapeValue(exec);
    if (!line)
        return std::nullopt;
    const qsizetype token = line->indexOf(QLatin1Char('%'));
    if (token < 0 || line->mid(token, 2) != QStringLiteral("%F"))
        return std::nullopt;
    QString quoted;
    for (const QChar c : clicked) {
        if (escapes && QStringLiteral("\\\"$`").contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return parseShellWords(line->left(token) + QLatin1Char('"') + quoted + QLatin1Char('"') + line->mid(token + 2));
}
