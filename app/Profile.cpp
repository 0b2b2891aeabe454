#include "app/Profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>

#include <cctype>
#include <cstdint>

#include "link/PortNames.h"

namespace varnel {
namespace {

const char kOrganisation[] = "Tessaran";
const char kApplication[] = "Varnel";
const char kOptionsGroup[] = "Options";
const char kSerialPortName[] = "SerialPort";
const char kSerialPortKey[] = "Options/SerialPort";

// QSettings keeps .conf files only where the native format is a file; elsewhere (the Windows
// registry, macOS property lists) it is left to write as it always does.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
constexpr bool kSettingsAreIniText = true;
#else
constexpr bool kSettingsAreIniText = false;
#endif

// ---- Reading settings text the way QSettings does ------------------------------------------
// QSettings' own reader gives no positions and takes damage for values, so the lines are found
// here by the same rules: white space and blank lines before a line are skipped; ';' at the
// start of a line makes it a comment, and after a value it ends the value; a line runs on across
// a line break inside double quotes or after a backslash; a line that starts with '[' names a
// group; the first '=' outside quotes separates the key from the value.

bool IsIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsIniSpecial(char c) {
    return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

struct IniLine {
    qsizetype start = 0;    // the first byte after the white space before it
    qsizetype end = 0;      // one past its last byte, before a line break or comment
    qsizetype equals = -1;  // the '=' that ends the key, or -1
};

class IniReader {
public:
    explicit IniReader(QByteArrayView data) : m_data(data) {}

    // The next line; false at the end of the text.
    bool Next(IniLine& line) {
        const qsizetype size = m_data.size();
        bool inQuotes = false;
        qsizetype quoteAt = -1;
        line.equals = -1;
        qsizetype start = m_pos;
        while (start < size && IsIniSpace(m_data[start])) {
            ++start;
        }
        qsizetype i = start;
        bool ended = false;
        while (i < size && !ended) {
            const char ch = m_data[i];
            if (!IsIniSpecial(ch)) {
                ++i;
                continue;
            }
            ++i;
            switch (ch) {
                case '=':
                    if (!inQuotes && line.equals == -1) {
                        line.equals = i - 1;
                    }
                    break;
                case '\n':
                case '\r':
                    if (i == start + 1) {
                        ++start;
                    } else if (!inQuotes) {
                        --i;
                        ended = true;
                    } else {
                        NoteDamage(quoteAt, QStringLiteral("opens a quote (\") that is not closed "
                                                           "on the same line, so the lines after "
                                                           "it would be read as part of its "
                                                           "value"));
                    }
                    break;
                case '\\':
                    if (i < size) {
                        const char next = m_data[i++];
                        if (next == '\n' || next == '\r') {
                            NoteDamage(i - 2, QStringLiteral("ends in a backslash (\\), which "
                                                             "joins the next line to its value"));
                        }
                        if (i < size) {
                            const char after = m_data[i];
                            if ((next == '\n' && after == '\r') ||
                                (next == '\r' && after == '\n')) {
                                ++i;
                            }
                        }
                    }
                    break;
                case '"':
                    inQuotes = !inQuotes;
                    quoteAt = i - 1;
                    break;
                default:  // ';'
                    if (i == start + 1) {
                        while (i < size && m_data[i] != '\n' && m_data[i] != '\r') {
                            ++i;
                        }
                        while (i < size && IsIniSpace(m_data[i])) {
                            ++i;
                        }
                        start = i;
                    } else if (!inQuotes) {
                        --i;
                        ended = true;
                    }
                    break;
            }
        }
        if (inQuotes) {
            NoteDamage(quoteAt, QStringLiteral("opens a quote (\") that is never closed"));
        }
        m_pos = i;
        line.start = start;
        line.end = i;
        return i > start;
    }

    // The first damage met so far, with its line number; empty when none.
    const QString& Damage() const { return m_damage; }

    // The line number (from 1) of the byte at pos.
    int LineNumber(qsizetype pos) const {
        int number = 1;
        for (qsizetype i = 0; i < pos && i < m_data.size(); ++i) {
            if (m_data[i] == '\n' ||
                (m_data[i] == '\r' && (i + 1 == m_data.size() || m_data[i + 1] != '\n'))) {
                ++number;
            }
        }
        return number;
    }

    void NoteDamage(qsizetype pos, const QString& what) {
        if (m_damage.isEmpty()) {
            m_damage = QStringLiteral("line %1 %2").arg(LineNumber(pos)).arg(what);
        }
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    QString m_damage;
};

// A key or group name as QSettings reads it: "\" stands for "/", "%XX" and "%UXXXX" for a
// character.
QString UnescapedKey(QByteArrayView raw) {
    const QString decoded = QString::fromUtf8(raw);
    QString result;
    for (qsizetype i = 0; i < decoded.size();) {
        const QChar ch = decoded[i];
        if (ch == u'\\') {
            result += u'/';
            ++i;
            continue;
        }
        if (ch != u'%' || i == decoded.size() - 1) {
            result += ch;
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (decoded[first] == u'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort code = first + digits <= decoded.size()
                                ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16)
                                : 0;
        if (!ok) {
            result += u'%';
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
    return result;
}

// A group header's name as QSettings takes it: "General" is the top level (empty here).
QString GroupName(QByteArrayView header, bool* closed) {
    const qsizetype close = header.indexOf(']');
    *closed = close >= 0;
    const QByteArray inner =
        (close >= 0 ? header.sliced(1, close - 1) : header.sliced(1)).toByteArray().trimmed();
    if (inner.compare("general", Qt::CaseInsensitive) == 0) {
        return {};
    }
    if (inner.compare("%general", Qt::CaseInsensitive) == 0) {
        return QString::fromLatin1(inner.sliced(1));
    }
    return UnescapedKey(inner);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A key line of the text, with the bytes an edit touches.
struct KeyLine {
    QString fullKey;       // "Ports/COM1"
    QString group;         // the group header it stands under ("Ports"); empty at the top
    qsizetype lineBegin;   // the start of its physical line
    qsizetype valueBegin;  // its value, without the blanks around it
    qsizetype valueEnd;
    qsizetype lineAfter;  // past its line break (its comment included), or the end
};

struct GroupHeader {
    QString name;
    qsizetype lineAfter;  // past the header's line break, or the end
};

struct IniLayout {
    std::vector<KeyLine> keys;
    std::vector<GroupHeader> groups;
    QString damage;
};

// Past the line break that follows pos (a comment after the line included), or the end.
qsizetype PastLineBreak(QByteArrayView data, qsizetype pos) {
    while (pos < data.size() && data[pos] != '\n' && data[pos] != '\r') {
        ++pos;
    }
    if (pos < data.size()) {
        if (data[pos] == '\r' && pos + 1 < data.size() && data[pos + 1] == '\n') {
            ++pos;
        }
        ++pos;
    }
    return pos;
}

IniLayout ReadLayout(QByteArrayView data) {
    IniLayout layout;
    IniReader reader(data);
    IniLine line;
    QString group;
    while (reader.Next(line)) {
        const QByteArrayView text = data.sliced(line.start, line.end - line.start);
        if (text.startsWith('[')) {
            bool closed = false;
            group = GroupName(text, &closed);
            if (!closed) {
                reader.NoteDamage(line.start, QStringLiteral("opens a group with [ but does not "
                                                             "close it with ]"));
            }
            layout.groups.push_back({group, PastLineBreak(data, line.end)});
            continue;
        }
        if (line.equals < 0) {
            if (text.startsWith("\xEF\xBB\xBF")) {
                // QSettings (Qt 6.4) takes the mark for the start of a key, not for an encoding.
                reader.NoteDamage(line.start, QStringLiteral("begins with a byte order mark, "
                                                             "which the settings reader does "
                                                             "not skip"));
            } else if (!text.startsWith(';')) {
                reader.NoteDamage(line.start,
                                  QStringLiteral("is neither a group ([Name]), nor a setting "
                                                 "(name=value), nor a comment (; ...)"));
            }
            continue;
        }
        qsizetype keyEnd = line.equals;
        while (keyEnd > line.start && IsBlank(data[keyEnd - 1])) {
            --keyEnd;
        }
        KeyLine key;
        key.group = group;
        const QString name = UnescapedKey(data.sliced(line.start, keyEnd - line.start));
        key.fullKey = group.isEmpty() ? name : group + u'/' + name;
        key.lineBegin = line.start;
        while (key.lineBegin > 0 && data[key.lineBegin - 1] != '\n' &&
               data[key.lineBegin - 1] != '\r') {
            --key.lineBegin;
        }
        key.valueBegin = line.equals + 1;
        while (key.valueBegin < line.end && IsBlank(data[key.valueBegin])) {
            ++key.valueBegin;
        }
        key.valueEnd = line.end;
        while (key.valueEnd > key.valueBegin && IsBlank(data[key.valueEnd - 1])) {
            --key.valueEnd;
        }
        key.lineAfter = PastLineBreak(data, line.end);
        layout.keys.push_back(key);
    }
    layout.damage = reader.Damage();
    return layout;
}

// A text value as QSettings writes it: quoted when it holds ';', ',' or '=' or starts or ends
// with a blank; '"' and '\' escaped, control characters as escapes, the rest in UTF-8; a leading
// '@' doubled, since '@' starts a typed value.
QByteArray EscapedValue(const QString& value) {
    QByteArray out;
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    const QByteArray bytes = (value.startsWith(u'@') ? u'@' + value : value).toUtf8();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ';' || c == ',' || c == '=') {
            needsQuotes = true;
        }
        if (escapeNextIfHexDigit && std::isxdigit(byte)) {
            out += "\\x" + QByteArray::number(byte, 16);
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (c) {
            case '\0':
                out += "\\0";
                escapeNextIfHexDigit = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += c;
                break;
            default:
                if (byte <= 0x1F) {
                    out += "\\x" + QByteArray::number(byte, 16);
                    escapeNextIfHexDigit = true;
                } else {
                    out += c;
                }
                break;
        }
    }
    if (needsQuotes || (!out.isEmpty() && (out.front() == ' ' || out.back() == ' '))) {
        out = '"' + out + '"';
    }
    return out;
}

// A key or group name as QSettings writes it: letters, digits, '-', '_' and '.' as they are, '/'
// as '\', and anything else as %XX (or %UXXXX).
QByteArray EscapedKey(const QString& key) {
    QByteArray out;
    for (const QChar ch : key) {
        const char16_t u = ch.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            u == '-' || u == '_' || u == '.') {
            out += static_cast<char>(u);
        } else if (u == '/') {
            out += '\\';
        } else if (u <= 0xFF) {
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        } else {
            out += "%U" + QByteArray::number(u, 16).rightJustified(4, '0').toUpper();
        }
    }
    return out;
}

// The line break the text uses; a new text gets the platform's.
QByteArray LineBreakOf(const QByteArray& text) {
    const qsizetype at = text.indexOf('\n');
    return at > 0 && text[at - 1] == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

QByteArray ApplyChange(const QByteArray& text, const SettingChange& change) {
    const IniLayout layout = ReadLayout(text);
    const QString fullKey = change.group + u'/' + change.key;
    std::vector<const KeyLine*> lines;
    for (const KeyLine& key : layout.keys) {
        if (key.fullKey == fullKey) {
            lines.push_back(&key);
        }
    }
    const QByteArray lineBreak = LineBreakOf(text);
    QByteArray result = text;
    // From the back, so that the positions in front stay valid. QSettings takes the last of
    // several lines of one key, so that one is the line kept and changed.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const KeyLine& key = **it;
        if (it == lines.rbegin() && change.value) {
            result.replace(key.valueBegin, key.valueEnd - key.valueBegin,
                           EscapedValue(*change.value));
        } else {
            result.remove(key.lineBegin, key.lineAfter - key.lineBegin);
        }
    }
    if (!lines.empty() || !change.value) {
        return result;
    }
    // A new key: at the end of the last part of its group, else in a new group at the end.
    const QByteArray entry = EscapedKey(change.key) + '=' + EscapedValue(*change.value);
    qsizetype at = -1;
    for (const GroupHeader& group : layout.groups) {
        if (group.name == change.group) {
            at = group.lineAfter;
        }
    }
    for (const KeyLine& key : layout.keys) {
        if (key.group == change.group && key.lineBegin >= at && at >= 0) {
            at = key.lineAfter;
        }
    }
    if (at >= 0) {
        QByteArray insert = entry + lineBreak;
        if (at > 0 && result[at - 1] != '\n' && result[at - 1] != '\r') {
            insert.prepend(lineBreak);
        }
        result.insert(at, insert);
        return result;
    }
    if (!result.isEmpty()) {
        if (!result.endsWith('\n') && !result.endsWith('\r')) {
            result += lineBreak;
        }
        result += lineBreak;
    }
    result += '[' + EscapedKey(change.group) + ']' + lineBreak + entry + lineBreak;
    return result;
}

QString ReadSettingsBytes(const QString& path, QByteArray* contents, bool* exists) {
    const QFileInfo info(path);
    *exists = info.exists() || info.isSymLink();
    contents->clear();
    if (!*exists) {
        return {};
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("it cannot be read (%1)")
            .arg(info.isDir() ? QStringLiteral("it is a folder") : file.errorString());
    }
    *contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return QStringLiteral("it cannot be read (%1)").arg(file.errorString());
    }
    return {};
}

// QSettings' own verdict, for anything its reader flags that ReadLayout does not.
bool QSettingsReportsFormatError() {
    QSettings settings(kOrganisation, kApplication);
    (void)settings.allKeys();  // groups are parsed on first use; this parses them all
    return settings.status() == QSettings::FormatError;
}

}  // namespace

int SerialPortFromSetting(const QVariant& stored) {
    // A value that is no text at all (a list, a serialised object) gives an empty text: 0.
    return stored.isValid() ? SerialPortIndexFromText(stored.toString().toStdString()) : 0;
}

QString SettingsFilePath() {
    return QSettings(kOrganisation, kApplication).fileName();
}

QString SettingsDamage(const QByteArray& contents) {
    return ReadLayout(contents).damage;
}

QString SettingsFileDamage() {
    if (!kSettingsAreIniText) {
        QSettings settings(kOrganisation, kApplication);
        (void)settings.allKeys();
        return settings.status() == QSettings::NoError
                   ? QString()
                   : QStringLiteral("the settings store cannot be read");
    }
    QByteArray contents;
    bool exists = false;
    if (QString why = ReadSettingsBytes(SettingsFilePath(), &contents, &exists); !why.isEmpty()) {
        return why;
    }
    if (!exists) {
        return {};
    }
    if (QString why = SettingsDamage(contents); !why.isEmpty()) {
        return why;
    }
    if (QSettingsReportsFormatError()) {
        return QStringLiteral("it is not in the settings format");
    }
    return {};
}

QString DescribeSettingsDamage(const QString& damage) {
    return QStringLiteral(
               "varnel: the settings file %1 cannot be read as it stands: %2. Varnel "
               "runs on its default settings and leaves the file as it is; correct or "
               "remove it to keep settings again.")
        .arg(QDir::toNativeSeparators(SettingsFilePath()), damage);
}

int LoadSerialPortSetting(QString* damage) {
    const QString why = SettingsFileDamage();
    if (damage) {
        *damage = why;
    }
    if (!why.isEmpty()) {
        return 0;
    }
    QSettings settings(kOrganisation, kApplication);
    if (settings.status() != QSettings::NoError) {
        return 0;
    }
    return SerialPortFromSetting(settings.value(kSerialPortKey));
}

QString SaveSerialPortSetting(int serialPort) {
    return WriteSettings({{kOptionsGroup, kSerialPortName, QString::number(serialPort)}});
}

std::string PortDeviceFromSettings(const std::string& portName) {
    // Read at every call, so a mapping edited while the program runs is used at the next exchange.
    if (portName.empty() || !SettingsFileDamage().isEmpty()) {
        return {};
    }
    QSettings settings(kOrganisation, kApplication);
    if (settings.status() != QSettings::NoError) {
        return {};
    }
    const QString key = QStringLiteral("Ports/") + QString::fromStdString(portName);
    return settings.value(key).toString().trimmed().toStdString();
}

QByteArray EditSettingsText(const QByteArray& contents, const std::vector<SettingChange>& changes) {
    QByteArray text = contents;
    for (const SettingChange& change : changes) {
        text = ApplyChange(text, change);
    }
    return text;
}

QString WriteSettings(const std::vector<SettingChange>& changes) {
    if (!kSettingsAreIniText) {
        QSettings settings(kOrganisation, kApplication);
        for (const SettingChange& change : changes) {
            const QString key = change.group + u'/' + change.key;
            if (change.value) {
                settings.setValue(key, *change.value);
            } else {
                settings.remove(key);
            }
        }
        settings.sync();
        return settings.status() == QSettings::NoError
                   ? QString()
                   : QStringLiteral("the settings store cannot be written");
    }
    const QString path = SettingsFilePath();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        return QStringLiteral("the folder %1 cannot be made").arg(info.absolutePath());
    }
    // The lock QSettings takes while it writes, so that two programs writing at once do not
    // lose each other's change.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        return QStringLiteral("another program is writing the settings file %1").arg(path);
    }
    QByteArray contents;
    bool exists = false;
    if (QString why = ReadSettingsBytes(path, &contents, &exists); !why.isEmpty()) {
        return QStringLiteral("the settings file %1 cannot be read as it stands: %2")
            .arg(path, why);
    }
    if (exists) {
        QString why = SettingsDamage(contents);
        if (why.isEmpty() && QSettingsReportsFormatError()) {
            why = QStringLiteral("it is not in the settings format");
        }
        if (!why.isEmpty()) {
            return QStringLiteral("the settings file %1 cannot be read as it stands: %2")
                .arg(path, why);
        }
    }
    const QByteArray edited = EditSettingsText(contents, changes);
    if (exists && edited == contents) {
        return {};
    }
    // Written beside the file and renamed over it, so a crash or a full disk leaves the old file
    // whole; links are followed, so a settings file kept elsewhere stays where it is.
    const QString canonical = info.canonicalFilePath();
    const QString target = canonical.isEmpty() ? path : canonical;
    const QDateTime before = QFileInfo(target).lastModified();
    QSaveFile file(target);
    // As QSettings does: where no file can be made beside it (a folder closed to writing), the
    // file is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(edited) != edited.size() || !file.commit()) {
        return QStringLiteral("the settings file %1 cannot be written (%2)")
            .arg(path, file.errorString());
    }
    // QSettings trusts a file whose size and time are those it last read; two writes within one
    // tick of the file system's clock would look alike to it, so the time is made to move on.
    if (before.isValid()) {
        QFile written(target);
        if (QFileInfo(target).lastModified() <= before && written.open(QIODevice::ReadWrite)) {
            written.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
        }
    }
    return {};
}

}  // namespace varnel
