// Ids of the payload resources an application build carries, all of the
// payload type (encoded string kPayloadResourceType).
//
// Resource scripts include this file too: the resource compiler defines
// RC_INVOKED and then sees only the IDR_PAYLOAD_* numbers; C++ code uses the
// enum, whose values are those numbers.
#pragma once

// Read by the launcher.
#define IDR_PAYLOAD_AUX_WORKBOOK 1018
#define IDR_PAYLOAD_MAIN_WORKBOOK 1020
#define IDR_PAYLOAD_ADDIN_32 1025
#define IDR_PAYLOAD_ADDIN_64 1027
#define IDR_PAYLOAD_MESSAGE_TABLE 1035
#define IDR_PAYLOAD_SPLASH_PICTURE 1050
#define IDR_PAYLOAD_BUILD_SETTINGS 1100
#define IDR_PAYLOAD_LICENCE_TEXT 1105

// Carried in every build but never read by the launcher.
#define IDR_PAYLOAD_ADDIN_TEXT_TABLE_1043 1043
#define IDR_PAYLOAD_ADDIN_TEXT_TABLE_1045 1045
#define IDR_PAYLOAD_CARRIED_1060 1060
#define IDR_PAYLOAD_CARRIED_1070 1070
#define IDR_PAYLOAD_CARRIED_1107 1107
#define IDR_PAYLOAD_ADDIN_ENCIPHERED_DATA 1200

#ifndef RC_INVOKED

namespace brisk {

enum PayloadResourceId : int {
  // The auxiliary workbook that makes first contact with the add-in, packed.
  kAuxWorkbookResource = IDR_PAYLOAD_AUX_WORKBOOK,
  // The main workbook behind its 4-byte marker (kWorkbookMarker), packed.
  kMainWorkbookResource = IDR_PAYLOAD_MAIN_WORKBOOK,
  // The add-in library for a 32-bit host, packed.
  kAddin32Resource = IDR_PAYLOAD_ADDIN_32,
  // The add-in library for a 64-bit host, packed; absent from builds without one.
  kAddin64Resource = IDR_PAYLOAD_ADDIN_64,
  // The translated message table, packed; a one-byte placeholder without one.
  kMessageTableResource = IDR_PAYLOAD_MESSAGE_TABLE,
  // The splash picture as stored (JPEG or a container of it); absent without one.
  kSplashPictureResource = IDR_PAYLOAD_SPLASH_PICTURE,
  // The build settings record (payload/build_settings.h), packed.
  kBuildSettingsResource = IDR_PAYLOAD_BUILD_SETTINGS,
  // The licence text, packed; a one-byte placeholder without one.
  kLicenceTextResource = IDR_PAYLOAD_LICENCE_TEXT,

  // The add-in's two UTF-16 text tables, packed.
  kAddinTextTable1043Resource = IDR_PAYLOAD_ADDIN_TEXT_TABLE_1043,
  kAddinTextTable1045Resource = IDR_PAYLOAD_ADDIN_TEXT_TABLE_1045,
  // One-byte resources.
  kCarried1060Resource = IDR_PAYLOAD_CARRIED_1060,
  kCarried1070Resource = IDR_PAYLOAD_CARRIED_1070,
  kCarried1107Resource = IDR_PAYLOAD_CARRIED_1107,
  // An enciphered block in a container; read by the add-in only.
  kAddinEncipheredDataResource = IDR_PAYLOAD_ADDIN_ENCIPHERED_DATA,
};

}  // namespace brisk

#endif  // RC_INVOKED
