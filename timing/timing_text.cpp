#include "timing/timing_text.h"

#include "timing/timing_parameters.h"

namespace talvo {
namespace {

constexpr int kBlockLength = 80;
constexpr int kBytesPerLine = 8;

QString Latin(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

int IndexNamed(const QString& name) {
    for (size_t i = 0; i < kTimingParameters.size(); ++i)
        if (name.compare(Latin(kTimingParameters[i].name), Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

QString KnownNames() {
    QStringList names;
    for (const TimingParameter& p : kTimingParameters) names << Latin(p.name);
    return names.join(QStringLiteral(", "));
}

// A plain non-negative number: decimal, or hexadecimal after "0x". No sign,
// no spaces, no other base (a leading 0 is still decimal).
std::optional<int> ParseValue(const QString& text) {
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    for (QChar c : digits) {
        const bool digit = c >= u'0' && c <= u'9';
        const bool hex_letter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!digit && !(hex && hex_letter)) return std::nullopt;
    }
    bool ok = false;
    const int value = digits.toInt(&ok, hex ? 16 : 10);
    if (!ok) return std::nullopt;
    return value;
}

}  // namespace

TimingAssignmentParse ParseTimingAssignment(const QString& text) {
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return {std::nullopt,
                QStringLiteral("'%1': expected NAME=VALUE, for example h2pos=300").arg(text)};
    const QString name = text.left(equals);
    const QString value_text = text.mid(equals + 1);
    const int index = IndexNamed(name);
    if (index < 0)
        return {std::nullopt, QStringLiteral("'%1': unknown timing parameter '%2' (known: %3)")
                                  .arg(text, name, KnownNames())};
    const TimingParameter& parameter = kTimingParameters[size_t(index)];
    const std::optional<int> value = ParseValue(value_text);
    if (!value || *value > parameter.maximum())
        return {std::nullopt, QStringLiteral("'%1': %2 takes a whole number from 0 to %3")
                                  .arg(text, Latin(parameter.name))
                                  .arg(parameter.maximum())};
    return {TimingAssignment{index, *value}, QString()};
}

QString ParseTimingAssignments(const QStringList& texts,
                               std::vector<TimingAssignment>& assignments) {
    std::vector<TimingAssignment> parsed;
    for (const QString& text : texts) {
        TimingAssignmentParse one = ParseTimingAssignment(text);
        if (!one.assignment) return one.error;
        parsed.push_back(*one.assignment);
    }
    assignments = std::move(parsed);
    return QString();
}

QString RenderTimingState(const TimingState& timing) {
    QString out;
    out += QStringLiteral("timing_base 0x%1  timing_page 0x%2\n")
               .arg(timing.timing_base, 2, 16, QLatin1Char('0'))
               .arg(timing.timing_page, 2, 16, QLatin1Char('0'));
    for (const TimingParameter& p : kTimingParameters) {
        const int value = ImageValue(timing.timing_image, p);
        out += QStringLiteral("%1 %2").arg(Latin(p.name), -12).arg(value, 5);
        if (value > p.maximum()) out += QStringLiteral("  (above the range 0-%1)").arg(p.maximum());
        out += u'\n';
    }
    out += QStringLiteral("block (offset: bytes in hex):\n");
    for (int line = 0; line < kBlockLength; line += kBytesPerLine) {
        out += QStringLiteral("%1:").arg(line, 2, 10, QLatin1Char('0'));
        for (int i = line; i < line + kBytesPerLine; ++i)
            out +=
                QStringLiteral(" %1").arg(timing.timing_image[size_t(i)], 2, 16, QLatin1Char('0'));
        out += u'\n';
    }
    return out;
}

}  // namespace talvo
