// The breakdown report: one XML document in code page 932 with the sections SYSTEM (producing program,
// importing business, function id, versions), BASIC (company name in full-width forms, accounting period)
// and DATA (one KANJYOKAMOKU element per main account with its HOJYOKAMOKU elements nested in it), written
// line by line through ClXmlWriter. Writing moves the progress from the progress base to 1000.
//
// Write answers 1 when the whole document replaced the file at the path, else 0. The document is written
// beside the path and put in its place only when whole (see ClXmlWriter): after any failure, of a
// section, of the closing </REPORT> line or of the file's sync, close or rename, the path holds what it
// held before (an earlier report, or nothing) and no partial file is left.
#pragma once

#include <cstdint>
#include <string>

#include "aggregation/progress.h"
#include "aggregation/zandaka.h"
#include "platform/records.h"
#include "report/xml_writer.h"
#include "res/edition.h"

class ClReportWriter {
 public:
  static constexpr std::size_t kRootLineSize = 500;
  static constexpr std::size_t kLineSize = 256;
  static constexpr std::size_t kNameBytes = 32;  // the full-width company name

  // The writer reads progress and rows while it lives; the edition gives the default product name.
  ClReportWriter(ClProgress& progress, const ClZandakaList& rows, const res::StEdition& edition);
  virtual ~ClReportWriter();
  ClReportWriter(const ClReportWriter&) = delete;
  ClReportWriter& operator=(const ClReportWriter&) = delete;

  void SetProgressBase(std::int16_t value) { m_nProgressBase = value; }
  int Write(const char* path, std::int16_t function_id, const StDATAINFO& data);

  int WriteSystem(ClXmlWriter& xml, std::int16_t function_id);
  int WriteBasic(ClXmlWriter& xml, const StDATAINFO& data);
  int WriteData(ClXmlWriter& xml);
  // The company name in full-width forms, cut to at most 32 bytes between characters.
  std::string ToFullWidthName(const char* text);
  // Whole yen of a balance in 1/10000 yen, truncated toward zero; empty when that is 0, above
  // 999,999,999,999 or below -99,999,999,999.
  static std::string BalanceText(std::int64_t balance);

 private:
  int WriteAccount(ClXmlWriter& xml, const StZANDAKAINFO& row, int count);
  int WriteSubAccount(ClXmlWriter& xml, const StZANDAKAINFO& row, int count);

  ClProgress& m_progress;
  const ClZandakaList& m_rows;
  ClZandakaList::const_iterator m_itCursor;
  std::int16_t m_nProgressBase = 0;
  std::string m_strDefaultProduct;
};
