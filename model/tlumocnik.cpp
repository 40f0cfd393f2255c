#include "model/tlumocnik.h"

#include "model/radek.h"

TTlumocnik::~TTlumocnik() = default;

int TTlumocnik::RecordLength() const { return 0; }

std::string TTlumocnik::EncodeRow(const TRadek& row, bool /*zeroRecordNumber*/) const { return row.WriteRowText(0); }

std::string TTlumocnik::DecodeRecord(std::string_view record) const { return std::string(record); }

std::string TTlumocnik::CheckRecord(const TSoubor& /*table*/, std::string_view /*record*/) const { return {}; }

void TTlumocnik::ClearRowNames() {}

void TTlumocnik::AddRowName(std::string_view /*line*/) {}

std::string TTlumocnik::RowName(int /*kind*/, int /*number*/) const { return {}; }
