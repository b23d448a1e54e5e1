#include "controls/tdbgrid.h"

#include "data/tdataset.h"

#include <QAbstractTableModel>
#include <QHeaderView>

// Presents the data set's rows; rebuilt whenever the data set reports a change.
class DataSetModel : public QAbstractTableModel
{
public:
    explicit DataSetModel(QObject *parent)
        : QAbstractTableModel(parent)
    {}

    void setSource(TDataSource *source)
    {
        if (m_source)
            disconnect(m_source, nullptr, this, nullptr);
        m_source = source;
        if (source) {
            connect(source, &TDataSource::dataChanged, this, &DataSetModel::refresh);
            connect(source, &TDataSource::stateChanged, this, &DataSetModel::refresh);
        }
        refresh();
    }
    TDataSource *source() const { return m_source; }

    void setColumns(const QStringList &names)
    {
        m_names = names;
        refresh();
    }
    const QStringList &columns() const { return m_names; }

    void refresh()
    {
        beginResetModel();
        m_fields.clear();
        TDataSet *dataSet = this->dataSet();
        if (dataSet) {
            if (m_names.isEmpty()) {
                for (int i = 0; i < int(dataSet->Fields().size()); ++i) {
                    if (dataSet->Fields()[i]->Visible())
                        m_fields.append(i);
                }
            } else {
                for (const QString &name : std::as_const(m_names)) {
                    const int index = dataSet->FieldIndex(name);
                    if (index >= 0)
                        m_fields.append(index);
                }
            }
        }
        endResetModel();
    }

    int rowCount(const QModelIndex &parent) const override
    {
        TDataSet *dataSet = this->dataSet();
        return parent.isValid() || !dataSet ? 0 : dataSet->RecordCount();
    }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_fields.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        TDataSet *dataSet = this->dataSet();
        if (!dataSet || role != Qt::DisplayRole || index.column() >= m_fields.size())
            return {};
        const QVariant value = dataSet->ValueAt(index.row(), m_fields[index.column()]);
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
        return value;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        TDataSet *dataSet = this->dataSet();
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !dataSet ||
            section >= m_fields.size())
            return QAbstractTableModel::headerData(section, orientation, role);
        return dataSet->Fields()[m_fields[section]]->DisplayLabel();
    }

private:
    TDataSet *dataSet() const
    {
        return m_source && m_source->Enabled() ? m_source->DataSet() : nullptr;
    }

    QPointer<TDataSource> m_source;
    QStringList m_names;
    QList<int> m_fields;
};

TDBGrid::TDBGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new DataSetModel(this))
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->hide();
}

TDBGrid::~TDBGrid() = default;

TDataSource *TDBGrid::DataSource() const
{
    return m_model->source();
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    m_model->setSource(source);
}

QStringList TDBGrid::Columns() const
{
    return m_model->columns();
}

void TDBGrid::SetColumns(const QStringList &fieldNames)
{
    m_model->setColumns(fieldNames);
}
