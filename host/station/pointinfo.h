#pragma once

#include <QString>

#include <optional>

// A point's catalogue entry, as the page's `PointInfo` has it.
struct PointInfo
{
    QString id;
    QString kind; // "analog" or "discrete"
    QString unit;
    QString description;
    // Takes commands; an analog one within [min, max] where they are given.
    bool writable = false;
    std::optional<double> min;
    std::optional<double> max;

    bool operator==(const PointInfo &other) const
    {
        return id == other.id && kind == other.kind && unit == other.unit
            && description == other.description && writable == other.writable && min == other.min
            && max == other.max;
    }
};
