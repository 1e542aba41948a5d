#pragma once

#include "lists/ReportModel.h"

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

// Sorts the rows of a ReportModel by one column, ascending or descending, rows of equal keys
// keeping their order. A short list is sorted at once. A long list sorts in the background: the
// keys are taken on this object's thread in slices between pending events, a copy of them is
// ordered on a worker thread, and the order is applied to the rows at once, only if they have not
// changed since their keys were taken (ReportModel::generation); otherwise the sort starts again
// on the rows as they are. A background sort ends by itself only while this thread runs its event
// loop; finish() waits for it, cancel() drops it, and so does a reset of the model.
class RowSorter : public QObject {
    Q_OBJECT

public:
    // The owner's key of one cell: called with the sorted column and a row as the model stores it
    // (ReportModel::storedRow: rows are asked for in the order they are stored, which reads memory
    // in sequence). Returns true and sets key when it handles the column, false to leave the column
    // to the comparison of the cells' texts in the locale's case-blind collation; it is asked for
    // the first stored row only, then for every one. A key that cannot be made throws, which ends
    // the sort.
    using KeyFunction = std::function<bool(int column, int storedRow, double& key)>;
    // Where the failure of a sort's step run from the event loop is reported, as the text of the
    // exception; nothing may escape into Qt there.
    using ErrorHandler = std::function<void(const QString& message)>;

    explicit RowSorter(QObject* parent = nullptr);
    // Drops a pending sort, waiting for its worker.
    ~RowSorter() override;

    // The rows to sort; drops a pending sort of the previous model, as does the model's destruction.
    void setModel(ReportModel* model);
    ReportModel* model() const { return m_model; }
    void setKeyFunction(KeyFunction keyOf) { m_keyOf = std::move(keyOf); }
    void setErrorHandler(ErrorHandler onError) { m_onError = std::move(onError); }
    // Lists with fewer rows than this sort at once, on this thread; by default 20000.
    void setBackgroundFrom(int rows) { m_backgroundFrom = rows; }
    int backgroundFrom() const { return m_backgroundFrom; }

    // Drops a pending sort and sorts the rows by column. Lists of fewer than two rows are left as
    // they are, lists shorter than backgroundFrom() are sorted before this returns. Throws what the
    // key function throws while the first slice of keys is taken; then no sort is pending.
    void sort(int column, bool ascending);
    // Whether a sort is under way.
    bool isPending() const { return bool(m_job); }
    // Waits for the pending sort and applies it, taking the keys it still needs at once (and
    // sorting again, at once, rows that changed meanwhile). Throws what the sort failed with.
    void finish();
    // Drops the pending sort, waiting for its worker; the rows keep their order.
    void cancel();

signals:
    // A sort's order was applied to the rows.
    void sorted();

protected:
    bool event(QEvent* event) override;

private:
    struct Job;

    void start(int column, bool ascending, bool sliced);
    void takeKeys(const std::shared_ptr<Job>& job, bool sliced);
    void apply(const std::shared_ptr<Job>& job);
    void workerDone();
    void report(const std::exception& error) const;

    ReportModel* m_model = nullptr;
    QMetaObject::Connection m_resetConnection;
    QMetaObject::Connection m_destroyedConnection;
    KeyFunction m_keyOf;
    ErrorHandler m_onError;
    int m_backgroundFrom = 20000;
    std::shared_ptr<Job> m_job;
};
