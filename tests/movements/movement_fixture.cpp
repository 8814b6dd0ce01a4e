#include "movement_fixture.h"

#include "data/stock_layout.h"

void MovementTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    state.programDir = dir.path();
    ASSERT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
}

void MovementTest::addItem(const QString &name, const QString &spec, double quantity, double amount)
{
    ASSERT_TRUE(store.add({name, spec, QStringLiteral("个"), quantity,
        quantity != 0 ? amount / quantity : 0, amount}));
}

void MovementTest::goToItem(const QString &name, const QString &spec)
{
    ASSERT_TRUE(store.select(Stock::alias()));
    ASSERT_TRUE(store.findFirstEqual(Stock::Name, name, Stock::Spec, spec))
        << name.toStdString() << " " << spec.toStdString();
}
