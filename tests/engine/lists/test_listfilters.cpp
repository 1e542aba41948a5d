#include "lists/ListFilters.h"
#include "lists/ReportModel.h"
#include "platform/FileName.h"
#include "text/FileHelpers.h"
#include "records/TDataIndexList.h"
#include "support/ReportRows.h"

#include <QHash>
#include <gtest/gtest.h>
#include <utility>

namespace {

// A filter compares the parts of the paths' bytes; it removes exactly the rows that a comparison
// of the decoded texts' folders or extensions would, for every row it may be asked about.
TEST(ListFilters, RowsUnlikeAreThoseWhosePartDiffersAsText) {
    ReportModel model(fileColumns());
    const QList<QByteArray> paths = {"/x/a.txt",          "/X/b.TXT",
                                     "/x/sub/c.txt",      "/x/a.txt",
                                     "/a.b/noext",        "/x/\xff.TXT",
                                     "/d\xe9/e.\xc3\xa4", "/D\xe9/f.\xc3\x84",
                                     "/x/.profile",       "/y/g.",
                                     "noslash.txt",       "/x/h.txt.GZ",
                                     "/x/b.TXT",          "/"};
    // Enough rows to be read in ranges on more than one processor, which part the copies unevenly.
    for (int copy = 0; copy < 10001; ++copy) {
        for (const QByteArray& path : paths)
            model.addRow(platform::decodeFileName(path.constData(), path.size()), ListRow{});
    }
    model.flushRows();
    for (const auto& [part, key] :
         {std::pair{PathPart::Folder, &ExtractFilePath}, std::pair{PathPart::Extension, &ExtractExt}}) {
        for (int like = 0; like < paths.size(); ++like) {
            QHash<QString, bool> same;
            QList<int> expected;
            for (int r = 0; r < model.rowCount(); ++r) {
                const QString text = key(model.text(r, 0));
                if (!same.contains(text))
                    same.insert(text, SameTextLocale(text, key(model.text(like, 0))));
                if (!same.value(text))
                    expected.append(r);
            }
            EXPECT_EQ(rowsUnlike(model, like, part), expected) << model.text(like, 0).toStdString();
        }
    }
}

} // namespace
