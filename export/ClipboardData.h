#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QMimeData;

// Clipboard text: the same bytes as "text/plain;charset=utf-8" and "text/plain". They are the
// text's UTF-8, except that the lone surrogates standing for undecodable bytes of a file name are
// given back as those bytes, so a pasted path names the same file. The caller owns the result.
QMimeData* textMimeData(const QString& text);

// The files at paths, for pasting as copies in a file manager: "text/uri-list" (one file URI per
// line, each ended by CR LF), "x-special/gnome-copied-files" ("copy", then the URIs, one per line)
// and "application/x-kde-cutselection" ("0": not cut). URIs are built from the paths' own bytes.
// The caller owns the result.
QMimeData* fileListMimeData(const QList<QByteArray>& paths);
QMimeData* fileListMimeData(const QStringList& paths);

// The paths as clipboard text, one per line ended by CR LF, each as its own bytes.
QMimeData* namesMimeData(const QList<QByteArray>& paths);
