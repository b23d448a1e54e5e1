#pragma once

#include "calehost_export.h"
#include "core/twincontrol.h"

#include <QPointer>
#include <QStringList>
#include <QTableView>

class TDataSource;
class DataSetModel;

// A read-only grid over the rows of a data source's data set.
class CALEHOST_EXPORT TDBGrid : public QTableView, public TWinControl
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    // The fields shown, by name; empty shows every visible field.
    QStringList Columns() const;
    void SetColumns(const QStringList &fieldNames);

private:
    DataSetModel *m_model;
};
