#include "ZEngineText.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

#include "ZControls.h"
#include "ZULText.h"

namespace {

// A template within an argument is followed this deep; engine texts nest at most twice.
constexpr int MaxNesting = 4;

struct Pattern {
    ZULTextTemplate Text;
    QRegularExpression Match;  // the whole text, one capture per placeholder in order
    std::vector<int> Order;    // the argument number (0-based) of each capture
    qsizetype Literal = 0;     // characters the template fixes: more is a closer fit
};

Pattern MakePattern(const ZULTextTemplate& text) {
    Pattern pattern{text, {}, {}, 0};
    const QString source = QString::fromUtf8(text.Source);
    QString expression = QStringLiteral("^");
    qsizetype from = 0;
    for (qsizetype at = 0; at + 1 < source.size(); ++at) {
        if (source[at] != u'%' || source[at + 1] < u'1' || source[at + 1] > u'9') continue;
        expression += QRegularExpression::escape(source.mid(from, at - from)) + QStringLiteral("(.*?)");
        pattern.Literal += at - from;
        pattern.Order.push_back(source[at + 1].unicode() - u'1');
        from = ++at + 1;
    }
    expression += QRegularExpression::escape(source.mid(from)) + u'$';
    pattern.Literal += source.size() - from;
    pattern.Match.setPattern(expression);
    pattern.Match.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// The patterns of every template used so far, made once each.
const std::vector<Pattern>& Patterns() {
    static std::vector<Pattern> patterns;
    const std::vector<ZULTextTemplate> used = ZULUsedTextTemplates();
    for (size_t next = patterns.size(); next < used.size(); ++next)
        patterns.push_back(MakePattern(used[next]));
    return patterns;
}

QString Translated(const QString& text, int depth) {
    if (depth > MaxNesting || text.isEmpty()) return text;
    const Pattern* best = nullptr;
    QRegularExpressionMatch found;
    for (const Pattern& pattern : Patterns()) {
        if (best != nullptr && pattern.Literal <= best->Literal) continue;
        QRegularExpressionMatch match = pattern.Match.match(text);
        if (!match.hasMatch()) continue;
        best = &pattern;
        found = match;
    }
    if (best == nullptr) return text;
    QStringList args(9);
    for (size_t capture = 0; capture < best->Order.size(); ++capture)
        args[best->Order[capture]] = Translated(found.captured(static_cast<int>(capture) + 1), depth + 1);
    const QString source = QCoreApplication::translate(best->Text.Context, best->Text.Source);
    QString out;
    for (qsizetype at = 0; at < source.size(); ++at) {
        if (source[at] == u'%' && at + 1 < source.size() && source[at + 1] >= u'1' &&
            source[at + 1] <= u'9') {
            out += args[source[++at].unicode() - u'1'];
        } else {
            out += source[at];
        }
    }
    return out;
}

}  // namespace

QString ZEngineText(const std::string& english) {
    return Translated(ZLocalText(english), 0);
}
