#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Desktop;
class QWidget;

enum class TransferMode { Copy, Move };

// Copies or moves each file of paths into folder (which ends in "/") under its own name, in list
// order, through one platform::TransferBatch, so copies reach the disk together and get their names
// after their data is flushed. An existing target is replaced, kept or the rest cancelled as the
// desktop's askReplace says, "Replace all" and "Skip all" answering every later conflict without
// asking; the progress dialog's Cancel also ends the command, and the files before the cancelled
// one still arrive. Each failure is shown once known (a copy's at the flush) and the next file
// follows. Ends with "Files copied to: " or "Files moved to: " and the folder when no file failed
// and nothing was cancelled (skipped files count as handled); otherwise with "Copy cancelled; 3 of
// 7 files copied to: " + folder, "2 of 7 files could not be copied; 5 copied to: " + folder, or
// both ("Copy cancelled; 2 of 7 files could not be copied; 1 copied to: "), move saying "Move
// cancelled" and "moved". An exception instead shows its message and ends the loop without a
// summary.
void transferFiles(QWidget* parent, Desktop& ui, TransferMode mode, const QList<QByteArray>& paths,
                   const QString& folder);
