#pragma once

#include "common/app_state.h"
#include "data/record_store.h"
#include "support/qt_print.h"
#include "support/scripted_prompts.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A program directory with a stock file open under "data", and a clock of
// our own.
class MovementTest : public testing::Test
{
protected:
    void SetUp() override;

    // Adds an item with quantity and amount; unit price amount / quantity.
    void addItem(const QString &name, const QString &spec, double quantity, double amount);
    // Moves to the item (exact key); fails the test when it is missing.
    void goToItem(const QString &name, const QString &spec);
    double number(int field) { return store.readNumber(field); }
    QString text(int field) { return store.readText(field); }

    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    ScriptedPrompts prompts;
    QDateTime now {QDate(2011, 3, 7), QTime(9, 5)};
};
