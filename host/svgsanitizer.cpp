#include "svgsanitizer.h"

#include <QBuffer>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString svgNamespace = QStringLiteral("http://www.w3.org/2000/svg");
const QString xlinkNamespace = QStringLiteral("http://www.w3.org/1999/xlink");

// Drawn, or referenced by what is drawn. Anything else of the SVG namespace
// (script, style, foreignObject, image, a, animations, feImage, …) refuses the file.
const QSet<QString> &allowedElements()
{
    static const QSet<QString> names {
        "svg",
        "g",
        "defs",
        "symbol",
        "use",
        "path",
        "rect",
        "circle",
        "ellipse",
        "line",
        "polyline",
        "polygon",
        "text",
        "tspan",
        "textPath",
        "linearGradient",
        "radialGradient",
        "stop",
        "clipPath",
        "mask",
        "pattern",
        "marker",
        "filter",
        "feBlend",
        "feColorMatrix",
        "feComposite",
        "feDropShadow",
        "feFlood",
        "feGaussianBlur",
        "feMerge",
        "feMergeNode",
        "feMorphology",
        "feOffset",
    };
    return names;
}

// Only describe the file: left out with everything inside them.
const QSet<QString> &describingElements()
{
    static const QSet<QString> names { "title", "desc", "metadata" };
    return names;
}

// The elements whose character data is drawn.
const QSet<QString> &textElements()
{
    static const QSet<QString> names { "text", "tspan", "textPath" };
    return names;
}

// Allowed both as attributes and as declarations of a "style" attribute.
const QSet<QString> &presentationAttributes()
{
    static const QSet<QString> names {
        "fill",
        "fill-opacity",
        "fill-rule",
        "stroke",
        "stroke-width",
        "stroke-linecap",
        "stroke-linejoin",
        "stroke-miterlimit",
        "stroke-dasharray",
        "stroke-dashoffset",
        "stroke-opacity",
        "opacity",
        "color",
        "display",
        "visibility",
        "overflow",
        "clip-path",
        "clip-rule",
        "mask",
        "filter",
        "marker-start",
        "marker-mid",
        "marker-end",
        "stop-color",
        "stop-opacity",
        "flood-color",
        "flood-opacity",
        "color-interpolation-filters",
        "font-family",
        "font-size",
        "font-weight",
        "font-style",
        "text-anchor",
        "dominant-baseline",
        "alignment-baseline",
        "baseline-shift",
        "letter-spacing",
        "word-spacing",
        "text-decoration",
        "vector-effect",
        "paint-order",
        "shape-rendering",
    };
    return names;
}

const QSet<QString> &geometryAttributes()
{
    static const QSet<QString> names {
        "id",
        "data-part",
        "transform",
        "x",
        "y",
        "width",
        "height",
        "rx",
        "ry",
        "cx",
        "cy",
        "r",
        "fx",
        "fy",
        "fr",
        "x1",
        "y1",
        "x2",
        "y2",
        "d",
        "points",
        "pathLength",
        "viewBox",
        "preserveAspectRatio",
        "gradientUnits",
        "gradientTransform",
        "spreadMethod",
        "offset",
        "patternUnits",
        "patternContentUnits",
        "patternTransform",
        "clipPathUnits",
        "maskUnits",
        "maskContentUnits",
        "markerWidth",
        "markerHeight",
        "markerUnits",
        "refX",
        "refY",
        "orient",
        "dx",
        "dy",
        "rotate",
        "textLength",
        "lengthAdjust",
        "startOffset",
        "filterUnits",
        "primitiveUnits",
        "in",
        "in2",
        "result",
        "stdDeviation",
        "mode",
        "operator",
        "k1",
        "k2",
        "k3",
        "k4",
        "type",
        "values",
        "radius",
    };
    return names;
}

// CSS functions a value may call besides url(#id): colours and transforms.
const QSet<QString> &allowedFunctions()
{
    static const QSet<QString> names { "rgb", "rgba", "hsl", "hsla", "matrix", "translate", "scale",
        "rotate", "skewx", "skewy" };
    return names;
}

using Attributes = QList<QPair<QString, QString>>;

// An unwinding refusal: the first thing found refuses the whole file.
struct Refusal
{
    QString reason;
};

bool isFragmentReference(const QString &value)
{
    static const QRegularExpression fragment(QStringLiteral("^#[^\\s'\"()]+$"));
    return fragment.match(value.trimmed()).hasMatch();
}

// Refuses a value that reaches outside the file, or that the CSS parser could
// read as something other than it looks (escapes, unknown functions).
void checkValue(const QString &name, const QString &value)
{
    QString compact = value;
    compact.remove(QRegularExpression(QStringLiteral("[\\s\\x00-\\x1f]")));
    if (compact.contains(QLatin1String("javascript:"), Qt::CaseInsensitive))
        throw Refusal { SvgSanitizer::tr("The attribute %1 refers outside the file: %2")
                            .arg(name, value.trimmed()) };
    if (value.contains(QLatin1Char('\\')) || value.contains(QLatin1String("@import")))
        throw Refusal { SvgSanitizer::tr("The attribute %1 holds a value that is not allowed: %2")
                            .arg(name, value.trimmed()) };
    static const QRegularExpression function(QStringLiteral("([A-Za-z_-][A-Za-z0-9_-]*)\\s*\\("));
    static const QRegularExpression localUrl(
        QStringLiteral("^url\\(\\s*(['\"]?)#[^\\s'\"()]+\\1\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QRegularExpressionMatch &call : function.globalMatch(value)) {
        const QString callee = call.captured(1).toLower();
        if (callee == QLatin1String("url")) {
            if (!localUrl.match(value.mid(call.capturedStart())).hasMatch())
                throw Refusal { SvgSanitizer::tr("The attribute %1 refers outside the file: %2")
                                    .arg(name, value.trimmed()) };
        } else if (!allowedFunctions().contains(callee)) {
            throw Refusal { SvgSanitizer::tr(
                "The attribute %1 holds a value that is not allowed: %2")
                                .arg(name, value.trimmed()) };
        }
    }
}

void setAttribute(Attributes &attributes, const QString &name, const QString &value)
{
    for (auto &attribute : attributes) {
        if (attribute.first == name) {
            attribute.second = value;
            return;
        }
    }
    attributes.append({ name, value });
}

// The declarations of a "style" attribute, each checked; those of presentation
// properties become attributes, overriding attributes of the same name as the
// style would.
void mergeStyle(Attributes &attributes, const QString &style)
{
    for (const QString &declaration : style.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString property = declaration.left(colon).trimmed().toLower();
        QString value = declaration.mid(colon + 1).trimmed();
        checkValue(QStringLiteral("style"), value);
        if (value.endsWith(QLatin1String("!important"), Qt::CaseInsensitive))
            value = value.chopped(int(qstrlen("!important"))).trimmed();
        if (presentationAttributes().contains(property) && !value.isEmpty())
            setAttribute(attributes, property, value);
    }
}

// The attributes of an allowed element that pass, in their order.
Attributes cleanAttributes(const QXmlStreamAttributes &given)
{
    Attributes kept;
    QString style;
    for (const QXmlStreamAttribute &attribute : given) {
        const QString name = attribute.name().toString();
        const QString value = attribute.value().toString();
        const QStringView space = attribute.namespaceUri();
        const bool href
            = (space.isEmpty() || space == xlinkNamespace) && name == QLatin1String("href");
        if (href) {
            if (!isFragmentReference(value))
                throw Refusal { SvgSanitizer::tr("The attribute %1 refers outside the file: %2")
                                    .arg(attribute.qualifiedName().toString(), value.trimmed()) };
            setAttribute(kept, QStringLiteral("href"), value.trimmed());
            continue;
        }
        // Editors' own attributes (inkscape:, sodipodi:, xml:space) draw nothing.
        if (!space.isEmpty())
            continue;
        if (name.startsWith(QLatin1String("on"), Qt::CaseInsensitive))
            throw Refusal { SvgSanitizer::tr("The event attribute %1 is not allowed").arg(name) };
        if (name == QLatin1String("style")) {
            checkValue(name, value);
            style = value;
            continue;
        }
        if (!presentationAttributes().contains(name) && !geometryAttributes().contains(name))
            continue;
        checkValue(name, value);
        setAttribute(kept, name, value);
    }
    if (!style.isEmpty())
        mergeStyle(kept, style);
    return kept;
}

// A length in user units ("12", "12px"); 0 when it is none.
double userLength(const QString &text)
{
    QString value = text.trimmed();
    if (value.endsWith(QLatin1String("px")))
        value.chop(2);
    bool ok = false;
    const double length = value.toDouble(&ok);
    return ok && length > 0 && qIsFinite(length) ? length : 0;
}

QString numberText(double value)
{
    return QString::number(value, 'g', 12);
}

class Sanitizer
{
public:
    explicit Sanitizer(const QByteArray &contents)
        : reader(contents)
    {
        buffer.open(QIODevice::WriteOnly);
        writer.setDevice(&buffer);
    }

    SanitizedSvg run()
    {
        SanitizedSvg result;
        try {
            readAll();
        } catch (const Refusal &refusal) {
            result.reason = refusal.reason;
            return result;
        }
        result.accepted = true;
        result.svg = buffer.data();
        result.width = width;
        result.height = height;
        return result;
    }

private:
    void readAll()
    {
        bool rootSeen = false;
        while (!reader.atEnd()) {
            switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
                throw Refusal { SvgSanitizer::tr("A document type declaration is not allowed") };
            case QXmlStreamReader::ProcessingInstruction:
                throw Refusal { SvgSanitizer::tr("Processing instructions are not allowed") };
            case QXmlStreamReader::StartElement:
                if (!rootSeen) {
                    rootSeen = true;
                    startRoot();
                } else {
                    startElement();
                }
                break;
            case QXmlStreamReader::EndElement:
                endElement();
                break;
            case QXmlStreamReader::Characters:
                if (skipDepth == 0 && !open.isEmpty() && textElements().contains(open.last()))
                    writer.writeCharacters(reader.text().toString());
                break;
            default:
                break; // the declaration, comments
            }
        }
        if (reader.hasError())
            throw Refusal { SvgSanitizer::tr("Not well-formed XML (line %1): %2")
                                .arg(reader.lineNumber())
                                .arg(reader.errorString()) };
        if (!rootSeen)
            throw Refusal { SvgSanitizer::tr("The file is not an SVG drawing") };
    }

    void startRoot()
    {
        if (reader.namespaceUri() != svgNamespace || reader.name() != QLatin1String("svg"))
            throw Refusal { SvgSanitizer::tr("The file is not an SVG drawing") };
        Attributes attributes = cleanAttributes(reader.attributes());
        QString viewBox;
        double ownWidth = 0;
        double ownHeight = 0;
        Attributes kept;
        for (const auto &attribute : attributes) {
            if (attribute.first == QLatin1String("viewBox"))
                viewBox = attribute.second;
            else if (attribute.first == QLatin1String("width"))
                ownWidth = userLength(attribute.second);
            else if (attribute.first == QLatin1String("height"))
                ownHeight = userLength(attribute.second);
            else if (attribute.first == QLatin1String("preserveAspectRatio")
                || attribute.first == QLatin1String("id")
                || presentationAttributes().contains(attribute.first))
                kept.append(attribute);
        }
        const QStringList box = viewBox.trimmed().split(
            QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        bool boxValid = box.size() == 4;
        double numbers[4] = { 0, 0, 0, 0 };
        for (int i = 0; boxValid && i < 4; ++i)
            numbers[i] = box.at(i).toDouble(&boxValid);
        boxValid = boxValid && numbers[2] > 0 && numbers[3] > 0;
        if (!boxValid && (ownWidth <= 0 || ownHeight <= 0))
            throw Refusal { SvgSanitizer::tr(
                "The drawing has neither a viewBox nor a width and height") };
        if (!boxValid)
            viewBox = QStringLiteral("0 0 %1 %2").arg(numberText(ownWidth), numberText(ownHeight));
        width = ownWidth > 0 && ownHeight > 0 ? ownWidth : numbers[2];
        height = ownWidth > 0 && ownHeight > 0 ? ownHeight : numbers[3];

        writer.writeStartElement(QStringLiteral("svg"));
        writer.writeAttribute(QStringLiteral("xmlns"), svgNamespace);
        writer.writeAttribute(QStringLiteral("viewBox"), viewBox.trimmed());
        for (const auto &attribute : kept)
            writer.writeAttribute(attribute.first, attribute.second);
        open.append(QStringLiteral("svg"));
    }

    void startElement()
    {
        if (skipDepth > 0) {
            ++skipDepth;
            return;
        }
        const QString name = reader.name().toString();
        if (reader.namespaceUri() != svgNamespace) {
            // HTML inside a drawing is foreignObject by another name.
            if (reader.namespaceUri() == QLatin1String("http://www.w3.org/1999/xhtml"))
                throw Refusal {
                    SvgSanitizer::tr("The element <%1> is not allowed").arg(reader.qualifiedName())
                };
            skipDepth = 1; // an editor's own data, drawn by no browser
            return;
        }
        if (describingElements().contains(name)) {
            skipDepth = 1;
            return;
        }
        if (!allowedElements().contains(name))
            throw Refusal { SvgSanitizer::tr("The element <%1> is not allowed").arg(name) };
        const Attributes attributes = cleanAttributes(reader.attributes());
        writer.writeStartElement(name);
        for (const auto &attribute : attributes)
            writer.writeAttribute(attribute.first, attribute.second);
        open.append(name);
    }

    void endElement()
    {
        if (skipDepth > 0) {
            --skipDepth;
            return;
        }
        writer.writeEndElement();
        open.removeLast();
    }

    QXmlStreamReader reader;
    QBuffer buffer;
    QXmlStreamWriter writer;
    QStringList open; // the kept elements from the root down
    int skipDepth = 0; // inside a left-out element, its depth
    double width = 0;
    double height = 0;
};

} // namespace

SanitizedSvg SvgSanitizer::sanitize(const QByteArray &contents)
{
    if (contents.size() > maxFileSize) {
        SanitizedSvg refused;
        refused.reason = tr("The file is larger than %1 MiB").arg(maxFileSize >> 20);
        return refused;
    }
    return Sanitizer(contents).run();
}
