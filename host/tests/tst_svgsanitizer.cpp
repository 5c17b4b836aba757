// The sanitiser of own symbols: hostile drawings are refused with the reason,
// harmless ones come out written again with only what may reach the page.

#include "svgsanitizer.h"

#include <QTest>

namespace {

// A drawing around `body`, with `rootAttributes` on its root.
QByteArray drawing(
    const QByteArray &body, const QByteArray &rootAttributes = "viewBox=\"0 0 10 10\"")
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        + rootAttributes + ">" + body + "</svg>";
}

// A valid drawing padded with a comment to exactly `size` bytes.
QByteArray paddedTo(qint64 size)
{
    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1 1\"><!--";
    const QByteArray tail = "--></svg>";
    return head + QByteArray(size - head.size() - tail.size(), 'x') + tail;
}

const QByteArray billionLaughs = R"(<?xml version="1.0"?>
<!DOCTYPE svg [
  <!ENTITY a "lol">
  <!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
  <!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
  <!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
  <!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">
]>
<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10"><text>&e;</text></svg>)";

} // namespace

class TestSvgSanitizer : public QObject
{
    Q_OBJECT

private slots:
    void refuses_data();
    void refuses();
    void keepsTheDrawing_data();
    void keepsTheDrawing();
    void takesTheSize_data();
    void takesTheSize();
};

void TestSvgSanitizer::refuses_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");

    const QString element = QStringLiteral("The element <%1> is not allowed");
    const QString outside = QStringLiteral("The attribute %1 refers outside the file: %2");
    const QString value = QStringLiteral("The attribute %1 holds a value that is not allowed: %2");
    const QString dtd = QStringLiteral("A document type declaration is not allowed");

    QTest::newRow("script") << drawing("<script>alert(1)</script>") << element.arg("script");
    QTest::newRow("script hidden in a group")
        << drawing("<g><g><script><![CDATA[alert(1)]]></script></g></g>") << element.arg("script");
    QTest::newRow("handler on the root") << drawing("", "viewBox=\"0 0 10 10\" onload=\"alert(1)\"")
                                         << "The event attribute onload is not allowed";
    QTest::newRow("handler on a shape in capitals")
        << drawing("<rect width=\"1\" height=\"1\" ONMOUSEOVER=\"alert(1)\"/>")
        << "The event attribute ONMOUSEOVER is not allowed";
    QTest::newRow("foreignObject") << drawing(
        "<foreignObject><div xmlns=\"http://www.w3.org/1999/xhtml\">x</div>"
        "</foreignObject>") << element.arg("foreignObject");
    QTest::newRow("HTML by its namespace") << drawing(
        "<h:img xmlns:h=\"http://www.w3.org/1999/xhtml\" src=\"x\" onerror=\"alert(1)\"/>")
                                           << element.arg("h:img");
    QTest::newRow("javascript: in xlink:href")
        << drawing("<use xlink:href=\"javascript:alert(1)\"/>")
        << outside.arg("xlink:href", "javascript:alert(1)");
    QTest::newRow("javascript: behind an entity and a blank") << drawing(
        "<use href=\" &#x6A;avascript:alert(1)\"/>") << outside.arg("href", "javascript:alert(1)");
    QTest::newRow("link element") << drawing("<a href=\"#x\"><rect width=\"1\" height=\"1\"/></a>")
                                  << element.arg("a");
    QTest::newRow("animation that swaps a link")
        << drawing("<animate attributeName=\"href\" to=\"javascript:alert(1)\"/>")
        << element.arg("animate");
    QTest::newRow("external image")
        << drawing("<image href=\"https://example.test/tracker.png\" width=\"1\" height=\"1\"/>")
        << element.arg("image");
    QTest::newRow("embedded image")
        << drawing("<image href=\"data:image/png;base64,AAAA\"/>") << element.arg("image");
    QTest::newRow("use of another file")
        << drawing("<use href=\"https://example.test/parts.svg#valve\"/>")
        << outside.arg("href", "https://example.test/parts.svg#valve");
    QTest::newRow("fill from another file")
        << drawing("<rect fill=\"url(parts.svg#grad)\" width=\"1\" height=\"1\"/>")
        << outside.arg("fill", "url(parts.svg#grad)");
    QTest::newRow("style url to the web")
        << drawing("<rect style=\"fill: url('https://example.test/a#b')\"/>")
        << outside.arg("style", "fill: url('https://example.test/a#b')");
    QTest::newRow("style that imports")
        << drawing("<rect style=\"@import 'https://example.test/a.css'\"/>")
        << value.arg("style", "@import 'https://example.test/a.css'");
    QTest::newRow("CSS escape that spells url")
        << drawing("<rect fill=\"u\\72l(https://example.test/a#b)\"/>")
        << value.arg("fill", "u\\72l(https://example.test/a#b)");
    QTest::newRow("image function in a filter")
        << drawing("<g filter=\"image(https://example.test/a.png)\"/>")
        << value.arg("filter", "image(https://example.test/a.png)");
    QTest::newRow("style sheet") << drawing("<style>rect { fill: red }</style>")
                                 << element.arg("style");
    QTest::newRow("entity expansion") << billionLaughs << dtd;
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE svg [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>")
            + drawing("<text>&x;</text>")
        << dtd;
    QTest::newRow("document type of SVG 1.1")
        << QByteArray("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                      "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">")
            + drawing("")
        << dtd;
    QTest::newRow("style sheet instruction")
        << QByteArray("<?xml-stylesheet href=\"https://example.test/a.css\"?>") + drawing("")
        << "Processing instructions are not allowed";
    QTest::newRow("50 MB file") << paddedTo(50 * 1024 * 1024) << "The file is larger than 1 MiB";
    QTest::newRow("one byte over the limit")
        << paddedTo(SvgSanitizer::maxFileSize + 1) << "The file is larger than 1 MiB";
    QTest::newRow("undeclared entity")
        << drawing("<text>&x;</text>") << "Not well-formed XML (line 1): Entity 'x' not declared.";
    QTest::newRow("not closed") << QByteArray(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1 1\"><g>")
                                << "Not well-formed XML (line 1): Premature end of document.";
    QTest::newRow("empty file") << QByteArray()
                                << "Not well-formed XML (line 1): Premature end of document.";
    QTest::newRow("HTML page") << QByteArray("<html><body/></html>")
                               << "The file is not an SVG drawing";
    QTest::newRow("svg without its namespace")
        << QByteArray("<svg viewBox=\"0 0 1 1\"/>") << "The file is not an SVG drawing";
    QTest::newRow("no size") << drawing("", "width=\"10mm\" height=\"5\"")
                             << "The drawing has neither a viewBox nor a width and height";
    QTest::newRow("empty viewBox and no size") << drawing(
        "", "viewBox=\"0 0 0 10\"") << "The drawing has neither a viewBox nor a width and height";
}

void TestSvgSanitizer::refuses()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    const SanitizedSvg result = SvgSanitizer::sanitize(contents);
    QCOMPARE(result.reason, reason);
    QVERIFY(!result.accepted);
    QVERIFY(result.svg.isEmpty());
}

void TestSvgSanitizer::keepsTheDrawing_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("clean");

    const QByteArray root = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\">";
    QTest::newRow("shapes, parts and references inside the file")
        << drawing("<defs><linearGradient id=\"g\" gradientTransform=\"rotate(90)\">"
                   "<stop offset=\"0\" stop-color=\"rgb(1, 2, 3)\"/></linearGradient></defs>"
                   "<rect data-part=\"fill\" x=\"1\" width=\"8\" height=\"8\" fill=\"url(#g)\"/>"
                   "<text data-part=\"text\" x=\"5\" font-size=\"3\">A &amp; &lt;B&gt;</text>"
                   "<use xlink:href=\"#g\" transform=\"translate(1 1)\"/>")
        << root
            + "<defs><linearGradient id=\"g\" gradientTransform=\"rotate(90)\">"
              "<stop offset=\"0\" stop-color=\"rgb(1, 2, 3)\"/></linearGradient></defs>"
              "<rect data-part=\"fill\" x=\"1\" width=\"8\" height=\"8\" fill=\"url(#g)\"/>"
              "<text data-part=\"text\" x=\"5\" font-size=\"3\">A &amp; &lt;B&gt;</text>"
              "<use href=\"#g\" transform=\"translate(1 1)\"/></svg>";
    QTest::newRow("what only describes the file is left out") << QByteArray(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand -->\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" "
        "viewBox=\"0 0 10 10\" version=\"1.1\" inkscape:version=\"1.2\">\n"
        "  <title>Pump</title><desc>A pump</desc>\n"
        "  <metadata><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>"
        "</metadata>\n"
        "  <inkscape:grid><script xmlns=\"http://www.w3.org/2000/svg\"/></inkscape:grid>\n"
        "  <g class=\"layer\" inkscape:label=\"Layer 1\" data-name=\"x\" "
        "xml:space=\"preserve\">stray text<circle r=\"2\"/></g>\n"
        "</svg>\n") << root + "<g><circle r=\"2\"/></g></svg>";
    QTest::newRow("style declarations become attributes") << drawing(
        "<rect fill=\"red\" style=\"fill:#00f; stroke-width : 2 !important;"
        "cursor:pointer;;stroke\"/>") << root + "<rect fill=\"#00f\" stroke-width=\"2\"/></svg>";
    QTest::newRow("root keeps its presentation, not its size")
        << drawing("",
               "viewBox=\"0,0,10,10\" width=\"20\" height=\"20\" fill=\"none\" "
               "preserveAspectRatio=\"none\" x=\"5\" transform=\"scale(2)\"")
        << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0,0,10,10\" "
                      "fill=\"none\" preserveAspectRatio=\"none\"/>");
    QTest::newRow("a viewBox from the size alone")
        << drawing("<path d=\"M0 0L4 4\"/>", "width=\"24px\" height=\"12\"")
        << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 12\">"
                      "<path d=\"M0 0L4 4\"/></svg>");
    QTest::newRow("a file of exactly the limit")
        << paddedTo(SvgSanitizer::maxFileSize)
        << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "viewBox=\"0 0 1 1\"/>");
}

void TestSvgSanitizer::keepsTheDrawing()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, clean);
    const SanitizedSvg result = SvgSanitizer::sanitize(contents);
    QCOMPARE(result.reason, QString());
    QVERIFY(result.accepted);
    QCOMPARE(result.svg, clean);
}

void TestSvgSanitizer::takesTheSize_data()
{
    QTest::addColumn<QByteArray>("rootAttributes");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");

    QTest::newRow("viewBox alone") << QByteArray("viewBox=\"-5 -5 30 15.5\"") << 30.0 << 15.5;
    QTest::newRow("width and height over the viewBox")
        << QByteArray("viewBox=\"0 0 300 150\" width=\"60\" height=\"30px\"") << 60.0 << 30.0;
    QTest::newRow("a size in other units is the viewBox's")
        << QByteArray("viewBox=\"0 0 300 150\" width=\"60mm\" height=\"30mm\"") << 300.0 << 150.0;
}

void TestSvgSanitizer::takesTheSize()
{
    QFETCH(QByteArray, rootAttributes);
    QFETCH(double, width);
    QFETCH(double, height);
    const SanitizedSvg result = SvgSanitizer::sanitize(drawing("", rootAttributes));
    QVERIFY(result.accepted);
    QCOMPARE(result.width, width);
    QCOMPARE(result.height, height);
}

QTEST_GUILESS_MAIN(TestSvgSanitizer)

#include "tst_svgsanitizer.moc"
