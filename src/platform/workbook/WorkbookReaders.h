// The readers behind OpenWorkbook, one per file format.
#pragma once

#include "platform/workbook/Workbook.h"

namespace bw {

// A zip package of the Office Open XML kind.
std::unique_ptr<TWorkbook> OpenPackageFile(const std::string& path, const TWorkbookLimits& limits);
std::unique_ptr<TWorkbook> OpenPackageBuffer(std::string bytes, const TWorkbookLimits& limits);
// A binary workbook in a compound document.
std::unique_ptr<TWorkbook> OpenBinaryWorkbook(const std::string& path,
                                              const TWorkbookLimits& limits);

} // namespace bw
