#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// What became of one SVG file: a clean drawing, or the reason it is refused.
struct SanitizedSvg
{
    bool accepted = false;
    QString reason; // set when refused
    // The drawing written again from what passed: an <svg> root with a viewBox
    // and only allowed elements and attributes, UTF-8, no declaration.
    QByteArray svg;
    // The drawing's own size: its width and height, or else its viewBox's.
    double width = 0;
    double height = 0;
};

// Turns an SVG file into a drawing that can be put into the built-in
// application's page as it is. The rules are an allow-list: SVG shapes, text,
// gradients, clipping, masks, markers, patterns and simple filters with their
// geometry and presentation attributes; "style" attributes become
// presentation attributes. References may point only inside the file ("#id",
// "url(#id)"). A file holding anything that could run, load or leave the
// drawing (scripts, event attributes, foreignObject, HTML, images, links,
// animations, style sheets, document types, processing instructions, outside
// or "javascript:" references) is refused whole, with the reason; what only
// describes the file (comments, metadata, titles, editors' own attributes) is
// left out.
class SvgSanitizer
{
    Q_DECLARE_TR_FUNCTIONS(SvgSanitizer)

public:
    static constexpr qint64 maxFileSize = 1024 * 1024;

    static SanitizedSvg sanitize(const QByteArray &contents);
};
