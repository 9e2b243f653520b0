// Writes the rows of the culture table (src/foundation/CultureDataTable.inc)
// from ICU's locale data. Run by hand when the table has to change; the
// program itself never links ICU. See run.sh for how to build and run it.
//
// The keys, names, order and parents of the rows are the program's own and
// are listed below; ICU only supplies the texts. Three rows (the invariant
// culture, "en" and "en-US") are typed by hand in CultureData.cpp, as their
// values are fixed to the character; this tool emits their names in place.
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
  int Lcid;
  int Parent;
  const char* Name;
  bool Neutral;
  // ICU locale whose date data fills the row; empty for neutral rows.
  const char* DataLocale;
  // ICU locale whose display name gives EnglishName and NativeName.
  const char* DisplayLocale;
  // Language in which NativeName is written.
  const char* NativeLocale;
  // Windows' three-letter language abbreviation; ICU has no such data.
  const char* WindowsName;
  // Set for the rows typed by hand in CultureData.cpp.
  const char* HandRow = nullptr;
};

constexpr int Invariant = 127;

// clang-format off
const std::vector<Row> Rows = {
  {1, Invariant, "ar", true, "", "ar", "ar", "ARA"},
  {1025, 1, "ar-SA", false, "ar_SA", "ar_SA", "ar_SA", "ARA"},
  {2049, 1, "ar-IQ", false, "ar_IQ", "ar_IQ", "ar_IQ", "ARI"},
  {3073, 1, "ar-EG", false, "ar_EG", "ar_EG", "ar_EG", "ARE"},
  {4097, 1, "ar-LY", false, "ar_LY", "ar_LY", "ar_LY", "ARL"},
  {5121, 1, "ar-DZ", false, "ar_DZ", "ar_DZ", "ar_DZ", "ARG"},
  {6145, 1, "ar-MA", false, "ar_MA", "ar_MA", "ar_MA", "ARM"},
  {7169, 1, "ar-TN", false, "ar_TN", "ar_TN", "ar_TN", "ART"},
  {8193, 1, "ar-OM", false, "ar_OM", "ar_OM", "ar_OM", "ARO"},
  {9217, 1, "ar-YE", false, "ar_YE", "ar_YE", "ar_YE", "ARY"},
  {10241, 1, "ar-SY", false, "ar_SY", "ar_SY", "ar_SY", "ARS"},
  {11265, 1, "ar-JO", false, "ar_JO", "ar_JO", "ar_JO", "ARJ"},
  {12289, 1, "ar-LB", false, "ar_LB", "ar_LB", "ar_LB", "ARB"},
  {13313, 1, "ar-KW", false, "ar_KW", "ar_KW", "ar_KW", "ARK"},
  {14337, 1, "ar-AE", false, "ar_AE", "ar_AE", "ar_AE", "ARU"},
  {15361, 1, "ar-BH", false, "ar_BH", "ar_BH", "ar_BH", "ARH"},
  {16385, 1, "ar-QA", false, "ar_QA", "ar_QA", "ar_QA", "ARQ"},
  {2, Invariant, "bg", true, "", "bg", "bg", "BGR"},
  {1026, 2, "bg-BG", false, "bg_BG", "bg_BG", "bg_BG", "BGR"},
  {3, Invariant, "ca", true, "", "ca", "ca", "CAT"},
  {1027, 3, "ca-ES", false, "ca_ES", "ca_ES", "ca_ES", "CAT"},
  {4, Invariant, "zh-CHS", true, "", "zh_Hans", "zh_Hans", "CHS"},
  {1028, 31748, "zh-TW", false, "zh_Hant_TW", "zh_TW", "zh_Hant_TW", "CHT"},
  {2052, 4, "zh-CN", false, "zh_Hans_CN", "zh_CN", "zh_Hans_CN", "CHS"},
  {3076, 31748, "zh-HK", false, "zh_Hant_HK", "zh_HK", "zh_Hant_HK", "ZHH"},
  {4100, 4, "zh-SG", false, "zh_Hans_SG", "zh_SG", "zh_Hans_SG", "ZHI"},
  {5124, 31748, "zh-MO", false, "zh_Hant_MO", "zh_MO", "zh_Hant_MO", "ZHM"},
  {31748, Invariant, "zh-CHT", true, "", "zh_Hant", "zh_Hant", "CHT"},
  {5, Invariant, "cs", true, "", "cs", "cs", "CSY"},
  {1029, 5, "cs-CZ", false, "cs_CZ", "cs_CZ", "cs_CZ", "CSY"},
  {6, Invariant, "da", true, "", "da", "da", "DAN"},
  {1030, 6, "da-DK", false, "da_DK", "da_DK", "da_DK", "DAN"},
  {7, Invariant, "de", true, "", "de", "de", "DEU"},
  {1031, 7, "de-DE", false, "de_DE", "de_DE", "de_DE", "DEU"},
  {2055, 7, "de-CH", false, "de_CH", "de_CH", "de_CH", "DES"},
  {3079, 7, "de-AT", false, "de_AT", "de_AT", "de_AT", "DEA"},
  {4103, 7, "de-LU", false, "de_LU", "de_LU", "de_LU", "DEL"},
  {5127, 7, "de-LI", false, "de_LI", "de_LI", "de_LI", "DEC"},
  {8, Invariant, "el", true, "", "el", "el", "ELL"},
  {1032, 8, "el-GR", false, "el_GR", "el_GR", "el_GR", "ELL"},
  {9, Invariant, "en", true, "", "", "", "", "EnglishRow"},
  {1033, 9, "en-US", false, "", "", "", "", "EnglishUnitedStatesRow"},
  {2057, 9, "en-GB", false, "en_GB", "en_GB", "en_GB", "ENG"},
  {3081, 9, "en-AU", false, "en_AU", "en_AU", "en_AU", "ENA"},
  {4105, 9, "en-CA", false, "en_CA", "en_CA", "en_CA", "ENC"},
  {5129, 9, "en-NZ", false, "en_NZ", "en_NZ", "en_NZ", "ENZ"},
  {6153, 9, "en-IE", false, "en_IE", "en_IE", "en_IE", "ENI"},
  {7177, 9, "en-ZA", false, "en_ZA", "en_ZA", "en_ZA", "ENS"},
  {8201, 9, "en-JM", false, "en_JM", "en_JM", "en_JM", "ENJ"},
  // "CB" is Windows' old code for the Caribbean; region 029 in ICU.
  {9225, 9, "en-CB", false, "en_029", "en_029", "en_029", "ENB"},
  {10249, 9, "en-BZ", false, "en_BZ", "en_BZ", "en_BZ", "ENL"},
  {11273, 9, "en-TT", false, "en_TT", "en_TT", "en_TT", "ENT"},
  {12297, 9, "en-ZW", false, "en_ZW", "en_ZW", "en_ZW", "ENW"},
  {13321, 9, "en-PH", false, "en_PH", "en_PH", "en_PH", "ENP"},
  {10, Invariant, "es", true, "", "es", "es", "ESP"},
  {2058, 10, "es-MX", false, "es_MX", "es_MX", "es_MX", "ESM"},
  {3082, 10, "es-ES", false, "es_ES", "es_ES", "es_ES", "ESN"},
  {4106, 10, "es-GT", false, "es_GT", "es_GT", "es_GT", "ESG"},
  {5130, 10, "es-CR", false, "es_CR", "es_CR", "es_CR", "ESC"},
  {6154, 10, "es-PA", false, "es_PA", "es_PA", "es_PA", "ESA"},
  {7178, 10, "es-DO", false, "es_DO", "es_DO", "es_DO", "ESD"},
  {8202, 10, "es-VE", false, "es_VE", "es_VE", "es_VE", "ESV"},
  {9226, 10, "es-CO", false, "es_CO", "es_CO", "es_CO", "ESO"},
  {10250, 10, "es-PE", false, "es_PE", "es_PE", "es_PE", "ESR"},
  {11274, 10, "es-AR", false, "es_AR", "es_AR", "es_AR", "ESS"},
  {12298, 10, "es-EC", false, "es_EC", "es_EC", "es_EC", "ESF"},
  {13322, 10, "es-CL", false, "es_CL", "es_CL", "es_CL", "ESL"},
  {14346, 10, "es-UY", false, "es_UY", "es_UY", "es_UY", "ESY"},
  {15370, 10, "es-PY", false, "es_PY", "es_PY", "es_PY", "ESZ"},
  {16394, 10, "es-BO", false, "es_BO", "es_BO", "es_BO", "ESB"},
  {17418, 10, "es-SV", false, "es_SV", "es_SV", "es_SV", "ESE"},
  {18442, 10, "es-HN", false, "es_HN", "es_HN", "es_HN", "ESH"},
  {19466, 10, "es-NI", false, "es_NI", "es_NI", "es_NI", "ESI"},
  {20490, 10, "es-PR", false, "es_PR", "es_PR", "es_PR", "ESU"},
  {11, Invariant, "fi", true, "", "fi", "fi", "FIN"},
  {1035, 11, "fi-FI", false, "fi_FI", "fi_FI", "fi_FI", "FIN"},
  {12, Invariant, "fr", true, "", "fr", "fr", "FRA"},
  {1036, 12, "fr-FR", false, "fr_FR", "fr_FR", "fr_FR", "FRA"},
  {2060, 12, "fr-BE", false, "fr_BE", "fr_BE", "fr_BE", "FRB"},
  {3084, 12, "fr-CA", false, "fr_CA", "fr_CA", "fr_CA", "FRC"},
  {4108, 12, "fr-CH", false, "fr_CH", "fr_CH", "fr_CH", "FRS"},
  {5132, 12, "fr-LU", false, "fr_LU", "fr_LU", "fr_LU", "FRL"},
  {6156, 12, "fr-MC", false, "fr_MC", "fr_MC", "fr_MC", "FRM"},
  {13, Invariant, "he", true, "", "he", "he", "HEB"},
  {1037, 13, "he-IL", false, "he_IL", "he_IL", "he_IL", "HEB"},
  {14, Invariant, "hu", true, "", "hu", "hu", "HUN"},
  {1038, 14, "hu-HU", false, "hu_HU", "hu_HU", "hu_HU", "HUN"},
  {15, Invariant, "is", true, "", "is", "is", "ISL"},
  {1039, 15, "is-IS", false, "is_IS", "is_IS", "is_IS", "ISL"},
  {16, Invariant, "it", true, "", "it", "it", "ITA"},
  {1040, 16, "it-IT", false, "it_IT", "it_IT", "it_IT", "ITA"},
  {2064, 16, "it-CH", false, "it_CH", "it_CH", "it_CH", "ITS"},
  {17, Invariant, "ja", true, "", "ja", "ja", "JPN"},
  {1041, 17, "ja-JP", false, "ja_JP", "ja_JP", "ja_JP", "JPN"},
  {18, Invariant, "ko", true, "", "ko", "ko", "KOR"},
  {1042, 18, "ko-KR", false, "ko_KR", "ko_KR", "ko_KR", "KOR"},
  {19, Invariant, "nl", true, "", "nl", "nl", "NLD"},
  {1043, 19, "nl-NL", false, "nl_NL", "nl_NL", "nl_NL", "NLD"},
  {2067, 19, "nl-BE", false, "nl_BE", "nl_BE", "nl_BE", "NLB"},
  {20, Invariant, "no", true, "", "no", "nb", "NOR"},
  {1044, 20, "nb-NO", false, "nb_NO", "nb_NO", "nb_NO", "NOR"},
  {2068, 20, "nn-NO", false, "nn_NO", "nn_NO", "nn_NO", "NON"},
  {21, Invariant, "pl", true, "", "pl", "pl", "PLK"},
  {1045, 21, "pl-PL", false, "pl_PL", "pl_PL", "pl_PL", "PLK"},
  {22, Invariant, "pt", true, "", "pt", "pt", "PTB"},
  {1046, 22, "pt-BR", false, "pt_BR", "pt_BR", "pt_BR", "PTB"},
  {2070, 22, "pt-PT", false, "pt_PT", "pt_PT", "pt_PT", "PTG"},
  {24, Invariant, "ro", true, "", "ro", "ro", "ROM"},
  {1048, 24, "ro-RO", false, "ro_RO", "ro_RO", "ro_RO", "ROM"},
  {25, Invariant, "ru", true, "", "ru", "ru", "RUS"},
  {1049, 25, "ru-RU", false, "ru_RU", "ru_RU", "ru_RU", "RUS"},
  {26, Invariant, "hr", true, "", "hr", "hr", "HRV"},
  {1050, 26, "hr-HR", false, "hr_HR", "hr_HR", "hr_HR", "HRV"},
  // "SP" is Windows' old code for Serbia (and Montenegro). Both scripts
  // belong to the neutral Serbian culture at the end of the table.
  {2074, 31770, "sr-SP-Latn", false, "sr_Latn_RS", "sr_Latn_RS", "sr_Latn_RS", "SRL"},
  {3098, 31770, "sr-SP-Cyrl", false, "sr_Cyrl_RS", "sr_Cyrl_RS", "sr_Cyrl_RS", "SRB"},
  {27, Invariant, "sk", true, "", "sk", "sk", "SKY"},
  {1051, 27, "sk-SK", false, "sk_SK", "sk_SK", "sk_SK", "SKY"},
  {28, Invariant, "sq", true, "", "sq", "sq", "SQI"},
  {1052, 28, "sq-AL", false, "sq_AL", "sq_AL", "sq_AL", "SQI"},
  {29, Invariant, "sv", true, "", "sv", "sv", "SVE"},
  {1053, 29, "sv-SE", false, "sv_SE", "sv_SE", "sv_SE", "SVE"},
  {2077, 29, "sv-FI", false, "sv_FI", "sv_FI", "sv_FI", "SVF"},
  {30, Invariant, "th", true, "", "th", "th", "THA"},
  {1054, 30, "th-TH", false, "th_TH", "th_TH", "th_TH", "THA"},
  {31, Invariant, "tr", true, "", "tr", "tr", "TRK"},
  {1055, 31, "tr-TR", false, "tr_TR", "tr_TR", "tr_TR", "TRK"},
  {32, Invariant, "ur", true, "", "ur", "ur", "URD"},
  {1056, 32, "ur-PK", false, "ur_PK", "ur_PK", "ur_PK", "URD"},
  {33, Invariant, "id", true, "", "id", "id", "IND"},
  {1057, 33, "id-ID", false, "id_ID", "id_ID", "id_ID", "IND"},
  {34, Invariant, "uk", true, "", "uk", "uk", "UKR"},
  {1058, 34, "uk-UA", false, "uk_UA", "uk_UA", "uk_UA", "UKR"},
  {35, Invariant, "be", true, "", "be", "be", "BEL"},
  {1059, 35, "be-BY", false, "be_BY", "be_BY", "be_BY", "BEL"},
  {36, Invariant, "sl", true, "", "sl", "sl", "SLV"},
  {1060, 36, "sl-SI", false, "sl_SI", "sl_SI", "sl_SI", "SLV"},
  {37, Invariant, "et", true, "", "et", "et", "ETI"},
  {1061, 37, "et-EE", false, "et_EE", "et_EE", "et_EE", "ETI"},
  {38, Invariant, "lv", true, "", "lv", "lv", "LVI"},
  {1062, 38, "lv-LV", false, "lv_LV", "lv_LV", "lv_LV", "LVI"},
  {39, Invariant, "lt", true, "", "lt", "lt", "LTH"},
  {1063, 39, "lt-LT", false, "lt_LT", "lt_LT", "lt_LT", "LTH"},
  {41, Invariant, "fa", true, "", "fa", "fa", "FAR"},
  {1065, 41, "fa-IR", false, "fa_IR", "fa_IR", "fa_IR", "FAR"},
  {42, Invariant, "vi", true, "", "vi", "vi", "VIT"},
  {1066, 42, "vi-VN", false, "vi_VN", "vi_VN", "vi_VN", "VIT"},
  {43, Invariant, "hy", true, "", "hy", "hy", "HYE"},
  {1067, 43, "hy-AM", false, "hy_AM", "hy_AM", "hy_AM", "HYE"},
  {44, Invariant, "az", true, "", "az", "az", "AZE"},
  {1068, 44, "az-AZ-Latn", false, "az_Latn_AZ", "az_Latn_AZ", "az_Latn_AZ", "AZE"},
  {2092, 44, "az-AZ-Cyrl", false, "az_Cyrl_AZ", "az_Cyrl_AZ", "az_Cyrl_AZ", "AZC"},
  {45, Invariant, "eu", true, "", "eu", "eu", "EUQ"},
  {1069, 45, "eu-ES", false, "eu_ES", "eu_ES", "eu_ES", "EUQ"},
  {47, Invariant, "mk", true, "", "mk", "mk", "MKI"},
  {1071, 47, "mk-MK", false, "mk_MK", "mk_MK", "mk_MK", "MKI"},
  {54, Invariant, "af", true, "", "af", "af", "AFK"},
  {1078, 54, "af-ZA", false, "af_ZA", "af_ZA", "af_ZA", "AFK"},
  {55, Invariant, "ka", true, "", "ka", "ka", "KAT"},
  {1079, 55, "ka-GE", false, "ka_GE", "ka_GE", "ka_GE", "KAT"},
  {56, Invariant, "fo", true, "", "fo", "fo", "FOS"},
  {1080, 56, "fo-FO", false, "fo_FO", "fo_FO", "fo_FO", "FOS"},
  {57, Invariant, "hi", true, "", "hi", "hi", "HIN"},
  {1081, 57, "hi-IN", false, "hi_IN", "hi_IN", "hi_IN", "HIN"},
  {62, Invariant, "ms", true, "", "ms", "ms", "MSL"},
  {1086, 62, "ms-MY", false, "ms_MY", "ms_MY", "ms_MY", "MSL"},
  {2110, 62, "ms-BN", false, "ms_BN", "ms_BN", "ms_BN", "MSB"},
  {63, Invariant, "kk", true, "", "kk", "kk", "KKZ"},
  {1087, 63, "kk-KZ", false, "kk_KZ", "kk_KZ", "kk_KZ", "KKZ"},
  {64, Invariant, "ky", true, "", "ky", "ky", "KYR"},
  // LCID 1088 is Kyrgyz in Kyrgyzstan; the table keeps "ky-KZ" as its name,
  // which stored culture names rely on.
  {1088, 64, "ky-KZ", false, "ky_KG", "ky_KG", "ky_KG", "KYR"},
  {65, Invariant, "sw", true, "", "sw", "sw", "SWK"},
  {1089, 65, "sw-KE", false, "sw_KE", "sw_KE", "sw_KE", "SWK"},
  {67, Invariant, "uz", true, "", "uz", "uz", "UZB"},
  {1091, 67, "uz-UZ-Latn", false, "uz_Latn_UZ", "uz_Latn_UZ", "uz_Latn_UZ", "UZB"},
  {2115, 67, "uz-UZ-Cyrl", false, "uz_Cyrl_UZ", "uz_Cyrl_UZ", "uz_Cyrl_UZ", "UZB"},
  {68, Invariant, "tt", true, "", "tt", "tt", "TTT"},
  {1092, 68, "tt-RU", false, "tt_RU", "tt_RU", "tt_RU", "TTT"},
  {70, Invariant, "pa", true, "", "pa", "pa", "PAN"},
  {1094, 70, "pa-IN", false, "pa_Guru_IN", "pa_IN", "pa_Guru_IN", "PAN"},
  {71, Invariant, "gu", true, "", "gu", "gu", "GUJ"},
  {1095, 71, "gu-IN", false, "gu_IN", "gu_IN", "gu_IN", "GUJ"},
  {73, Invariant, "ta", true, "", "ta", "ta", "TAM"},
  {1097, 73, "ta-IN", false, "ta_IN", "ta_IN", "ta_IN", "TAM"},
  {74, Invariant, "te", true, "", "te", "te", "TEL"},
  {1098, 74, "te-IN", false, "te_IN", "te_IN", "te_IN", "TEL"},
  {75, Invariant, "kn", true, "", "kn", "kn", "KDI"},
  {1099, 75, "kn-IN", false, "kn_IN", "kn_IN", "kn_IN", "KDI"},
  {78, Invariant, "mr", true, "", "mr", "mr", "MAR"},
  {1102, 78, "mr-IN", false, "mr_IN", "mr_IN", "mr_IN", "MAR"},
  {79, Invariant, "sa", true, "", "sa", "sa", "SAN"},
  {1103, 79, "sa-IN", false, "sa_IN", "sa_IN", "sa_IN", "SAN"},
  {80, Invariant, "mn", true, "", "mn", "mn", "MON"},
  {1104, 80, "mn-MN", false, "mn_MN", "mn_MN", "mn_MN", "MON"},
  {86, Invariant, "gl", true, "", "gl", "gl", "GLC"},
  {1110, 86, "gl-ES", false, "gl_ES", "gl_ES", "gl_ES", "GLC"},
  {87, Invariant, "kok", true, "", "kok", "kok", "KNK"},
  {1111, 87, "kok-IN", false, "kok_IN", "kok_IN", "kok_IN", "KNK"},
  // ICU carries no Syriac or Divehi locale data; see FallbackData.
  {90, Invariant, "syr", true, "", "syr", "syr", "SYR"},
  {1114, 90, "syr-SY", false, "syr_SY", "syr_SY", "syr_SY", "SYR"},
  {101, Invariant, "div", true, "", "dv", "dv", "DIV"},
  {1125, 101, "div-MV", false, "dv_MV", "dv_MV", "dv_MV", "DIV"},
  {127, Invariant, "", false, "", "", "", "", "InvariantRow"},
  {31770, Invariant, "sr", true, "", "sr", "sr_Latn", "SRL"},
};
// clang-format on

using Names7 = std::array<std::string, 7>;
using Names13 = std::array<std::string, 13>;

struct DateData {
  Names7 AbbreviatedDayNames, DayNames;
  Names13 AbbreviatedMonthNames, MonthNames;
  std::string AM, PM;
  int WeekRule = 0;
  std::string DateSeparator, TimeSeparator;
  int FirstDay = 0;
  std::string LongDate, LongTime, ShortDate, ShortTime, MonthDay, YearMonth;
};

// Texts for the two languages ICU lacks, typed here: the native names, the
// Gregorian day and month names, the designators and the patterns. Neither
// language has settled abbreviations for them, so the full names serve.
struct Fallback {
  const char* Language;
  const char* NativeLanguage;
  const char* NativeCountry;
  Names7 DayNames;
  Names13 MonthNames;
  const char* AM;
  const char* PM;
  const char* LongDate;
  const char* LongTime;
  const char* ShortDate;
  const char* ShortTime;
  const char* MonthDay;
  const char* YearMonth;
};

const Fallback FallbackData[] = {
    {"syr",
     "ܣܘܪܝܝܐ",
     "سوريا",
     {"ܚܕ ܒܫܒܐ", "ܬܪܝܢ ܒܫܒܐ", "ܬܠܬܐ ܒܫܒܐ", "ܐܪܒܥܐ ܒܫܒܐ", "ܚܡܫܐ ܒܫܒܐ", "ܥܪܘܒܬܐ", "ܫܒܬܐ"},
     {"ܟܢܘܢ ܐܚܪܝ", "ܫܒܛ", "ܐܕܪ", "ܢܝܣܢ", "ܐܝܪ", "ܚܙܝܪܢ", "ܬܡܘܙ", "ܐܒ", "ܐܝܠܘܠ", "ܬܫܪܝ ܩܕܝܡ",
      "ܬܫܪܝ ܐܚܪܝ", "ܟܢܘܢ ܩܕܝܡ", ""},
     "ܩ.ܛ",
     "ܒ.ܛ",
     "dd MMMM, yyyy",
     "hh:mm:ss tt",
     "dd/MM/yyyy",
     "hh:mm tt",
     "dd MMMM",
     "MMMM, yyyy"},
    {"dv",
     "ދިވެހިބަސް",
     "ދިވެހި ރާއްޖެ",
     {"އާދިއްތަ", "ހޯމަ", "އަންގާރަ", "ބުދަ", "ބުރާސްފަތި", "ހުކުރު", "ހޮނިހިރު"},
     {"ޖެނުއަރީ", "ފެބްރުއަރީ", "މާރޗް", "އޭޕްރިލް", "މެއި", "ޖޫން", "ޖުލައި", "އޯގަސްޓް", "ސެޕްޓެމްބަރ", "އޮކްޓޯބަރ", "ނޮވެމްބަރ",
      "ޑިސެމްބަރ", ""},
     "މކ",
     "މފ",
     "dd/MMMM/yyyy",
     "HH:mm:ss",
     "dd/MM/yyyy",
     "HH:mm",
     "dd MMMM",
     "MMMM yyyy"},
};

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "culture-data: " << what << "\n";
  std::exit(1);
}

void Check(UErrorCode status, const std::string& what) {
  if (U_FAILURE(status)) Fail(what + ": " + u_errorName(status));
}

std::string Utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

bool IsBidiMark(UChar32 c) {
  return c == 0x200E || c == 0x200F || c == 0x061C;
}

// CLDR marks right-to-left patterns with bidi controls and separates some
// fields with no-break spaces; the table's patterns are plain text.
icu::UnicodeString Plain(const icu::UnicodeString& s) {
  icu::UnicodeString out;
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
    UChar32 c = s.char32At(i);
    if (IsBidiMark(c)) continue;
    if (c == 0x00A0 || c == 0x202F) c = ' ';
    out.append(c);
  }
  return out;
}

std::string Repeat(char c, int n) {
  return std::string(static_cast<size_t>(n), c);
}

// ICU's pattern letters in the table's notation.
std::string MapField(UChar32 letter, int count, const std::string& locale) {
  switch (letter) {
  case 'd':
    return Repeat('d', count > 2 ? 2 : count);
  case 'E':
  case 'c':
  case 'e':
    if (letter != 'E' && count < 3) break;
    return count == 4 ? "dddd" : "ddd";
  case 'M':
  case 'L':
    return Repeat('M', count > 4 ? 3 : count);
  case 'y':
    return "yyyy";
  case 'h':
  case 'K':
    return Repeat('h', count > 2 ? 2 : count);
  case 'H':
  case 'k':
    return Repeat('H', count > 2 ? 2 : count);
  case 'm':
    return "mm";
  case 's':
    return "ss";
  case 'a':
  case 'b':
  case 'B':
    return "tt";
  default:
    break;
  }
  Fail("no mapping for pattern letter '" + std::string(1, static_cast<char>(letter)) + "' x" +
       std::to_string(count) + " in " + locale);
}

std::string MapPattern(const icu::UnicodeString& icuPattern, const std::string& locale) {
  icu::UnicodeString p = Plain(icuPattern);
  std::string out;
  int32_t i = 0;
  while (i < p.length()) {
    UChar c = p.charAt(i);
    if (c == '\'') {
      int32_t j = i + 1;
      while (j < p.length()) {
        if (p.charAt(j) == '\'') {
          if (j + 1 < p.length() && p.charAt(j + 1) == '\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out += Utf8(p.tempSubString(i, j - i + 1));
      i = j + 1;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      int32_t j = i;
      while (j < p.length() && p.charAt(j) == c)
        ++j;
      if (c == 'G') {
        // The table's calendar has one era, so its name is left out along
        // with the space that set it apart.
        if (j < p.length() && p.charAt(j) == ' ')
          ++j;
        else if (!out.empty() && out.back() == ' ')
          out.pop_back();
      } else {
        out += MapField(c, j - i, locale);
      }
      i = j;
    } else {
      UChar32 cp = p.char32At(i);
      out += Utf8(icu::UnicodeString(cp));
      i = p.moveIndex32(i, 1);
    }
  }
  return out;
}

// The literal text between the first two fields of `pattern` whose letters
// are in `fields`, quotes removed.
std::string SeparatorAfterFirstField(const icu::UnicodeString& icuPattern, const char* fields,
                                     const std::string& locale) {
  icu::UnicodeString p = Plain(icuPattern);
  const std::string letters = fields;
  bool quoted = false;
  auto isField = [&](int32_t i) {
    UChar c = p.charAt(i);
    return !quoted && c < 128 && letters.find(static_cast<char>(c)) != std::string::npos;
  };
  int32_t i = 0;
  for (; i < p.length() && !isField(i); ++i)
    if (p.charAt(i) == '\'') quoted = !quoted;
  UChar first = i < p.length() ? p.charAt(i) : 0;
  while (i < p.length() && p.charAt(i) == first)
    ++i;
  icu::UnicodeString sep;
  for (; i < p.length() && !isField(i); ++i) {
    if (p.charAt(i) == '\'') {
      // A doubled quote stands for the quote itself.
      if (i + 1 < p.length() && p.charAt(i + 1) == '\'') {
        sep.append(p.charAt(i));
        ++i;
      } else {
        quoted = !quoted;
      }
    } else {
      sep.append(p.charAt(i));
    }
  }
  if (i >= p.length() || sep.isEmpty())
    Fail("no separator in pattern '" + Utf8(p) + "' of " + locale);
  return Utf8(sep);
}

// The first day of the week and the rule for the year's first week, from
// the country's customs.
void FillWeek(DateData& d, const std::string& id) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Calendar> calendar(
      icu::Calendar::createInstance(icu::Locale((id + "@calendar=gregorian").c_str()), status));
  Check(status, "calendar of " + id);
  d.FirstDay = calendar->getFirstDayOfWeek(status) - UCAL_SUNDAY;
  Check(status, "first day of " + id);
  switch (calendar->getMinimalDaysInFirstWeek()) {
  case 1:
    d.WeekRule = 0; // the week of 1 January
    break;
  case 7:
    d.WeekRule = 1; // the first full week
    break;
  case 4:
    d.WeekRule = 2; // the first week with four days of the new year
    break;
  default:
    Fail("week rule of " + id);
  }
}

DateData FromIcu(const std::string& id) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale((id + "@calendar=gregorian").c_str());

  DateData d;
  icu::DateFormatSymbols symbols(locale, status);
  Check(status, "date symbols of " + id);
  int32_t count = 0;
  // Day names in the form used inside a date; month names in the form used
  // alone (the nominative where the language declines them).
  const icu::UnicodeString* days =
      symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
  if (count != 8) Fail("weekdays of " + id);
  for (int i = 0; i < 7; ++i)
    d.DayNames[i] = Utf8(days[i + 1]);
  days = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
                             icu::DateFormatSymbols::ABBREVIATED);
  for (int i = 0; i < 7; ++i)
    d.AbbreviatedDayNames[i] = Utf8(days[i + 1]);
  const icu::UnicodeString* months =
      symbols.getMonths(count, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::WIDE);
  if (count != 12) Fail("months of " + id);
  for (int i = 0; i < 12; ++i)
    d.MonthNames[i] = Utf8(months[i]);
  months = symbols.getMonths(count, icu::DateFormatSymbols::STANDALONE,
                             icu::DateFormatSymbols::ABBREVIATED);
  for (int i = 0; i < 12; ++i)
    d.AbbreviatedMonthNames[i] = Utf8(months[i]);
  const icu::UnicodeString* ampm = symbols.getAmPmStrings(count);
  if (count != 2) Fail("designators of " + id);
  d.AM = Utf8(ampm[0]);
  d.PM = Utf8(ampm[1]);

  FillWeek(d, id);

  auto pattern = [&](icu::DateFormat* format) {
    std::unique_ptr<icu::DateFormat> owned(format);
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(owned.get());
    if (!simple) Fail("no pattern for " + id);
    icu::UnicodeString p;
    simple->toPattern(p);
    return p;
  };
  icu::UnicodeString shortDate =
      pattern(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
  icu::UnicodeString shortTime =
      pattern(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale));
  d.LongDate =
      MapPattern(pattern(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, locale)), id);
  // The medium time style: the long one adds a time zone the table has no
  // notation for.
  d.LongTime = MapPattern(
      pattern(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale)), id);
  d.ShortDate = MapPattern(shortDate, id);
  d.ShortTime = MapPattern(shortTime, id);
  d.DateSeparator = SeparatorAfterFirstField(shortDate, "dMLy", id);
  d.TimeSeparator = SeparatorAfterFirstField(shortTime, "hHkKm", id);

  std::unique_ptr<icu::DateTimePatternGenerator> generator(
      icu::DateTimePatternGenerator::createInstance(locale, status));
  Check(status, "pattern generator of " + id);
  d.MonthDay = MapPattern(generator->getBestPattern(u"MMMMd", status), id);
  d.YearMonth = MapPattern(generator->getBestPattern(u"yMMMM", status), id);
  Check(status, "skeleton patterns of " + id);
  return d;
}

const Fallback* FindFallback(const std::string& language) {
  for (const Fallback& f : FallbackData)
    if (language == f.Language) return &f;
  return nullptr;
}

bool IcuHasLanguage(const std::string& language) {
  int32_t n = 0;
  const icu::Locale* all = icu::Locale::getAvailableLocales(n);
  for (int32_t i = 0; i < n; ++i)
    if (language == all[i].getLanguage()) return true;
  return false;
}

DateData FromFallback(const Fallback& f, const std::string& id) {
  DateData d;
  for (int i = 0; i < 7; ++i)
    d.DayNames[i] = d.AbbreviatedDayNames[i] = f.DayNames[i];
  for (int i = 0; i < 13; ++i)
    d.MonthNames[i] = d.AbbreviatedMonthNames[i] = f.MonthNames[i];
  d.AM = f.AM;
  d.PM = f.PM;
  d.LongDate = f.LongDate;
  d.LongTime = f.LongTime;
  d.ShortDate = f.ShortDate;
  d.ShortTime = f.ShortTime;
  d.MonthDay = f.MonthDay;
  d.YearMonth = f.YearMonth;
  d.DateSeparator = "/";
  d.TimeSeparator = ":";
  // The week follows the country, which ICU does know.
  FillWeek(d, id);
  return d;
}

std::string Quote(const std::string& utf8) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(utf8);
  std::string out = "\"";
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
    UChar32 c = s.char32At(i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F || u_charType(c) == U_FORMAT_CHAR ||
               (c > 0x7F && u_isUWhiteSpace(c))) {
      // Invisible characters stay visible in the source.
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, c > 0xFFFF ? "\\U%08X" : "\\u%04X", c);
      out += buffer;
    } else {
      out += Utf8(icu::UnicodeString(c));
    }
  }
  return out + "\"";
}

template <size_t N>
std::string List(const std::array<std::string, N>& names) {
  std::string out = "{";
  for (size_t i = 0; i < N; ++i)
    out += (i ? ", " : "") + Quote(names[i]);
  return out + "}";
}

std::string DisplayName(const char* id, const char* inLocale) {
  icu::UnicodeString name;
  icu::Locale(id).getDisplayName(icu::Locale(inLocale), name);
  return Utf8(name);
}

void Emit(std::ostream& out, const Row& row) {
  if (row.HandRow) {
    out << "    " << row.HandRow << ",\n";
    return;
  }
  std::string name = row.Name;
  std::string language = name.substr(0, name.find('-'));
  std::string icuLanguage = icu::Locale(row.DisplayLocale).getLanguage();
  const Fallback* fallback = nullptr;
  if (!IcuHasLanguage(icuLanguage)) {
    fallback = FindFallback(icuLanguage);
    if (!fallback) Fail("no data for " + name);
  }

  std::string english = DisplayName(row.DisplayLocale, "en");
  std::string native;
  if (fallback) {
    native = fallback->NativeLanguage;
    if (!row.Neutral) native += std::string(" (") + fallback->NativeCountry + ")";
  } else {
    native = DisplayName(row.DisplayLocale, row.NativeLocale);
  }
  std::string iso3 = icu::Locale(row.DisplayLocale).getISO3Language();
  if (iso3.empty()) Fail("no three-letter code for " + name);

  out << "    {" << row.Lcid << ", " << row.Parent << ", " << Quote(iso3) << ", "
      << Quote(row.WindowsName) << ", " << Quote(language) << ", " << Quote(name) << ", "
      << Quote(english) << ",\n     " << Quote(native) << ", " << (row.Neutral ? "true" : "false");
  if (row.Neutral) {
    // Every field is spelt out: the build warns about missing initialisers.
    out << ",\n     {}, {}, {}, {}, \"\", \"\", 0, \"\", \"\", 0, \"\", \"\", \"\", \"\", \"\", "
           "\"\"},\n";
    return;
  }
  DateData d = fallback ? FromFallback(*fallback, row.DataLocale) : FromIcu(row.DataLocale);
  out << ",\n     " << List(d.AbbreviatedDayNames) << ",\n     " << List(d.AbbreviatedMonthNames)
      << ",\n     " << List(d.DayNames) << ",\n     " << List(d.MonthNames) << ",\n     "
      << Quote(d.AM) << ", " << Quote(d.PM) << ", " << d.WeekRule << ", " << Quote(d.DateSeparator)
      << ", " << Quote(d.TimeSeparator) << ", " << d.FirstDay << ",\n     " << Quote(d.LongDate)
      << ", " << Quote(d.LongTime) << ", " << Quote(d.ShortDate) << ", " << Quote(d.ShortTime)
      << ", " << Quote(d.MonthDay) << ", " << Quote(d.YearMonth) << "},\n";
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTPUT.inc\n";
    return 2;
  }
  if (Rows.size() != 203) Fail("the table has 203 rows, not " + std::to_string(Rows.size()));
  std::set<int> keys;
  for (const Row& row : Rows)
    if (!keys.insert(row.Lcid).second) Fail("duplicate LCID " + std::to_string(row.Lcid));

  std::ostringstream text;
  text << "// Generated by tools/culture-data from ICU " << U_ICU_VERSION
       << " locale data; do not edit by hand.\n";
  for (const Row& row : Rows)
    Emit(text, row);
  std::ofstream file(argv[1], std::ios::binary);
  file << text.str();
  if (!file.flush()) Fail(std::string("cannot write ") + argv[1]);
  return 0;
}
