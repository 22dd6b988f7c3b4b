#pragma once
// A DAISY 3 book's text (DTBook XML) or an EPUB's content document made into plain HTML a browser shows as
// text: headings as h1-h6, paragraphs, lists, tables, page numbers and the
// rest as their nearest HTML. Element ids are kept, for the mark of the
// phrase being read; nothing that runs (scripts, handlers, objects)
// and nothing the page would fetch (pictures: their alternative text) is
// carried over.
#include <QByteArray>
#include <QString>

namespace qyr::daisy {

// The body's HTML, without <html> or <body>.
QString dtbookHtml(const QByteArray &bytes);
// A book's text file as such a body: a DTBook as above, an EPUB content
// document (XHTML) with its sentences in spans of their own (contentdoc.h).
// Given the document's path, its links to files (not to the web or a
// script) are kept as file addresses, for the reading to follow.
QString contentHtml(const QByteArray &bytes, const QString &path = QString());

} // namespace qyr::daisy
