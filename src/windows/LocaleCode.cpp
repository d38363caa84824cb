#include "windows/LocaleCode.h"

#include <cstring>

namespace marlo {

namespace {

const LocaleRow kLocaleTable[] = {
    {1, "ar"}, {2, "bg"}, {3, "ca"}, {4, "zh"}, {5, "cs"}, {6, "da"},
    {7, "de"}, {8, "el"}, {9, "en"}, {10, "es"}, {11, "fi"}, {12, "fr"},
    {13, "iw"}, {14, "hu"}, {15, "is"}, {16, "it"}, {17, "ja"}, {18, "ko"},
    {19, "nl"}, {20, "no"}, {21, "pl"}, {22, "pt"}, {23, "rm"}, {24, "ro"},
    {25, "ru"}, {26, "sr"}, {27, "sk"}, {28, "sq"}, {29, "sv"}, {30, "th"},
    {31, "tr"}, {32, "ur"}, {33, "in"}, {34, "uk"}, {35, "be"}, {36, "sl"},
    {37, "et"}, {38, "lv"}, {39, "lt"}, {41, "fa"}, {42, "vi"}, {43, "hy"},
    {44, "az"}, {45, "eu"}, {47, "mk"}, {49, "ts"}, {50, "tn"}, {52, "xh"},
    {53, "zu"}, {54, "af"}, {55, "ka"}, {56, "fo"}, {57, "hi"}, {58, "mt"},
    {60, "gd"}, {61, "yi"}, {62, "ms"}, {63, "kk"}, {64, "ky"}, {65, "sw"},
    {67, "uz"}, {68, "tt"}, {70, "pa"}, {71, "gu"}, {73, "ta"}, {74, "te"},
    {75, "kn"}, {78, "mr"}, {79, "sa"}, {80, "mn"}, {86, "gl"}, {1025, "ar_SA"},
    {1026, "bg_BG"}, {1027, "ca_ES"}, {1028, "zh_TW"}, {1029, "cs_CZ"}, {1030, "da_DK"}, {1031, "de_DE"},
    {1032, "el_GR"}, {1033, "en_US"}, {1034, "es_ES"}, {1035, "fi_FI"}, {1036, "fr_FR"}, {1037, "iw_IL"},
    {1038, "hu_HU"}, {1039, "is_IS"}, {1040, "it_IT"}, {1041, "ja_JP"}, {1042, "ko_KR"}, {1043, "nl_NL"},
    {1044, "no_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1047, "rm_CH"}, {1048, "ro_RO"}, {1049, "ru_RU"},
    {1050, "hr_HR"}, {1051, "sk_SK"}, {1052, "sq_AL"}, {1053, "sv_SE"}, {1054, "th_TH"}, {1055, "tr_TR"},
    {1056, "ur_PK"}, {1057, "in_ID"}, {1058, "uk_UA"}, {1059, "be_BY"}, {1060, "sl_SI"}, {1061, "et_EE"},
    {1062, "lv_LV"}, {1063, "lt_LT"}, {1065, "fa_IR"}, {1066, "vi_VN"}, {1067, "hy_AM"}, {1068, "az_AZ"},
    {1069, "eu_ES"}, {1071, "mk_MK"}, {1073, "ts"}, {1074, "tn_BW"}, {1076, "xh"}, {1077, "zu"},
    {1078, "af_ZA"}, {1079, "ka_GE"}, {1080, "fo_FO"}, {1081, "hi_IN"}, {1082, "mt_MT"}, {1084, "gd_GB"},
    {1085, "yi"}, {1086, "ms_MY"}, {1087, "kk_KZ"}, {1088, "ky_KG"}, {1089, "sw_KE"}, {1091, "uz_UZ"},
    {1092, "tt"}, {1094, "pa_IN"}, {1095, "gu_IN"}, {1097, "ta_IN"}, {1098, "te_IN"}, {1099, "kn_IN"},
    {1102, "mr_IN"}, {1103, "sa_IN"}, {1104, "mn_MN"}, {1110, "gl_ES"}, {2049, "ar_IQ"}, {2052, "zh_CN"},
    {2055, "de_CH"}, {2057, "en_GB"}, {2058, "es_MX"}, {2060, "fr_BE"}, {2064, "it_CH"}, {2066, "ko_KR"},
    {2067, "nl_BE"}, {2068, "no_NO_NY"}, {2070, "pt_PT"}, {2072, "ro_MD"}, {2073, "ru_MD"}, {2074, "sr_CS"},
    {2077, "sv_FI"}, {2092, "az_AZ"}, {2108, "ga_IE"}, {2110, "ms_BN"}, {2115, "uz_UZ"}, {3073, "ar_EG"},
    {3076, "zh_HK"}, {3079, "de_AT"}, {3081, "en_AU"}, {3082, "es_ES"}, {3084, "fr_CA"}, {3098, "sr_CS"},
    {4097, "ar_LY"}, {4100, "zh_SG"}, {4103, "de_LU"}, {4105, "en_CA"}, {4106, "es_GT"}, {4108, "fr_CH"},
    {5121, "ar_DZ"}, {5124, "zh_MO"}, {5127, "de_LI"}, {5129, "en_NZ"}, {5130, "es_CR"}, {5132, "fr_LU"},
    {6145, "ar_MA"}, {6153, "en_IE"}, {6154, "es_PA"}, {6156, "fr_MC"}, {7169, "ar_TN"}, {7177, "en_ZA"},
    {7178, "es_DO"}, {8193, "ar_OM"}, {8201, "en_JM"}, {8202, "es_VE"}, {9217, "ar_YE"}, {9225, "en"},
    {9226, "es_CO"}, {10241, "ar_SY"}, {10249, "en_BZ"}, {10250, "es_PE"}, {11265, "ar_JO"}, {11273, "en_TT"},
    {11274, "es_AR"}, {12289, "ar_LB"}, {12297, "en_ZW"}, {12298, "es_EC"}, {13313, "ar_KW"}, {13321, "en_PH"},
    {13322, "es_CL"}, {14337, "ar_AE"}, {14346, "es_UY"}, {15361, "ar_BH"}, {15370, "es_PY"}, {16385, "ar_QA"},
    {16394, "es_BO"}, {17418, "es_SV"}, {18442, "es_HN"}, {19466, "es_NI"}, {20490, "es_PR"},
};

}  // namespace

const LocaleRow* localeTable(size_t* count) {
    *count = sizeof kLocaleTable / sizeof kLocaleTable[0];
    return kLocaleTable;
}

const char* localeCodeForLangId(uint16_t langId) {
    for (const LocaleRow& row : kLocaleTable)
        if (row.langId == langId) return row.code;
    uint16_t primary = langId & 0x3FF;
    for (const LocaleRow& row : kLocaleTable)
        if (row.langId == primary) return row.code;
    return "en";
}

bool formatAsDefaultRequested(const ArgVector* args) {
    static const char16_t kPrefix[] = u"-Dsun.locale.formatasdefault=";
    const size_t prefixLength = sizeof kPrefix / sizeof kPrefix[0] - 1;
    bool flag = false;
    if (!args) return false;
    for (const std::u16string& arg : *args) {
        if (arg.compare(0, prefixLength, kPrefix) != 0) continue;
        flag = arg.compare(prefixLength, std::u16string::npos, u"true") == 0;
    }
    return flag;
}

void chooseLocaleCodeFrom(const ArgVector* args, uint16_t formatLcid, int uiLanguage, char code[12]) {
    uint16_t id = formatLcid;
    if (!formatAsDefaultRequested(args) && uiLanguage >= 0) id = static_cast<uint16_t>(uiLanguage);
    const char* chosen = localeCodeForLangId(id);
    std::strncpy(code, chosen, 11);
    code[11] = 0;
}

}  // namespace marlo
