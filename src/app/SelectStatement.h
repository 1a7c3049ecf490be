#pragma once

#include <QString>

#include <optional>

// The one statement form the client runs against Access files, "SELECT <column> FROM <table>";
// it is parsed, never executed as SQL. Names may stand in square brackets.
struct SelectStatement {
    QString column;
    QString table;

    static std::optional<SelectStatement> parse(const QString &sql);
};
