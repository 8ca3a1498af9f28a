#include "measure/MeasurementTable.h"

#include <cstdio>

#include "measure/Measurement.h"

namespace velm {

namespace {

std::string Fixed3(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

}  // namespace

MeasurementTable TabulateMeasurement(const Measurement& m) {
    MeasurementTable t;
    const int n = m.Count();
    for (int i = 0; i < n; ++i)
        t.cartesian[static_cast<size_t>(i)] = {Fixed3(m.X(i)), Fixed3(m.Y(i)), Fixed3(m.Z(i)), std::to_string(m.Id(i)),
                                               std::to_string(m.Model(i))};
    for (int i = 0; i + 1 < n; ++i) t.internal[static_cast<size_t>(i)] = Fixed3(m.Bond(i));
    for (int i = 0; i + 2 < n; ++i) t.internal[static_cast<size_t>(3 + i)] = Fixed3(m.Angle(i));
    if (n == Measurement::kMaxAtoms) t.internal[5] = Fixed3(m.Torsion());
    return t;
}

std::string MeasurementText(const Measurement& m) {
    const MeasurementTable t = TabulateMeasurement(m);
    char line[256];
    std::string text = "Cartesian\n";
    std::snprintf(line, sizeof line, "%-8s %12s %12s %12s %8s %8s\n", "", kCartesianColumns[0], kCartesianColumns[1],
                  kCartesianColumns[2], kCartesianColumns[3], kCartesianColumns[4]);
    text += line;
    for (int i = 0; i < m.Count(); ++i) {
        const auto& row = t.cartesian[static_cast<size_t>(i)];
        std::snprintf(line, sizeof line, "%-8s %12s %12s %12s %8s %8s\n", kCartesianRows[static_cast<size_t>(i)],
                      row[0].c_str(), row[1].c_str(), row[2].c_str(), row[3].c_str(), row[4].c_str());
        text += line;
    }
    text += "Internal\n";
    for (size_t i = 0; i < t.internal.size(); ++i) {
        if (t.internal[i].empty()) continue;
        std::snprintf(line, sizeof line, "%-12s %12s\n", kInternalRows[i], t.internal[i].c_str());
        text += line;
    }
    return text;
}

}  // namespace velm
