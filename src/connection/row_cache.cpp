#include <algorithm>

#include "tarnlow/connection.h"
#include "tarnlow/modules.h"

namespace tarnlow {

// ---- ValueConverter ----------------------------------------------------------------

ValueConverter& ValueConverter::Shared() {
  static ValueConverter converter;
  return converter;
}

std::string ValueConverter::FieldText(const Variant& field) const {
  return NullToText(field);
}

Date ValueConverter::FieldDate(const Variant& field) const {
  if (field.IsNull() || field.IsEmpty()) return Date();
  if (const std::string* s = field.AsText(); s && RTrim(*s).empty()) return Date();
  return field.ToDate();
}

bool ValueConverter::CheckText(const std::string& text) const {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// ---- RowCache --------------------------------------------------------------------------

void RowCache::Check(std::int32_t row, std::int32_t column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= columns_)
    RaiseRuntime(err::SubscriptOutOfRange);
}

Variant RowCache::GetCell(std::int32_t row, std::int32_t column) const {
  Check(row, column);
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void RowCache::SetCell(std::int32_t row, std::int32_t column, Variant value) {
  Check(row, column);
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
}

void RowCache::Clear() {
  rows_.clear();
}

void RowCache::Reshape(std::int32_t, std::int32_t, std::int32_t, std::int32_t columns) {
  if (columns < 0) RaiseRuntime(err::SubscriptOutOfRange);
  columns_ = columns;
  rows_.assign(1, std::vector<Variant>(static_cast<std::size_t>(columns)));
}

void RowCache::AddRows(std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) rows_.emplace_back(static_cast<std::size_t>(columns_));
}

std::int32_t RowCache::Find(std::int32_t start, std::int32_t column, const Variant& key) const {
  if (column < 0 || column >= columns_) return -1;
  for (std::int32_t r = std::max(start, 0); r < RowCount(); ++r)
    if (rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(column)] == key) return r;
  return -1;
}

void RowCache::Sort(std::int32_t first, std::int32_t last) {
  if (columns_ == 0 || first < 0 || last >= RowCount() || first > last) return;
  // Stable, so that rows with equal keys keep their order and Find gives the first.
  std::stable_sort(rows_.begin() + first, rows_.begin() + last + 1, [](const auto& a, const auto& b) {
    const Variant &x = a[0], &y = b[0];
    if (x.IsNumeric() && y.IsNumeric()) return x.ToDouble() < y.ToDouble();
    const bool xn = x.IsNull() || x.IsEmpty(), yn = y.IsNull() || y.IsEmpty();
    if (xn || yn) return xn && !yn;
    return x.ToText() < y.ToText();
  });
}

void RowCache::LoadRows(std::vector<std::vector<Variant>> rows) {
  columns_ = rows.empty() ? columns_ : static_cast<std::int32_t>(rows.front().size());
  rows_ = std::move(rows);
}

}  // namespace tarnlow
