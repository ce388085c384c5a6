// The control interface of the fake SDK libraries the tests build (fake_sdk.cpp). A test loads
// the same file as the driver (dlopen of one path gives one copy) and steers it through these
// exports; the driver sees only the DVSNET_* functions.
#pragma once

#include <cstdint>

#include "net/sdk/find_hisi.h"

extern "C" {

// What a search does: script(callback, context, arg), on the caller's thread during
// DVSNET_SearchServers, or on a thread of the library that DVSNET_StopSearch waits for.
typedef void (*FakeSdkScript)(DVSNET_SEARCH_CALLBACK callback, void* context, void* arg);

struct FakeSdkConfig {  // the last DVSNET_ConfigServer call, NULL texts as "(null)"
  uint8_t mac[6];
  bool macNull;
  char user[64], password[64], name[64], ip[64], netMask[64], gateway[64], auxAddr[64], dns[64];
  int32_t httpPort, dataPort, auxPort, dhcp;
};

typedef void (*FakeSdk_SetScript_t)(FakeSdkScript script, void* arg, int onOwnThread);
typedef void (*FakeSdk_SetResult_t)(int32_t searchResult, int32_t configResult);
typedef void (*FakeSdk_Join_t)(void);
typedef void (*FakeSdk_Reset_t)(void);
// Calls of a DVSNET_* function by name; the arguments of the last search (waitMs, mode,
// reserved), its callback and context.
typedef int (*FakeSdk_Calls_t)(const char* name);
typedef void (*FakeSdk_LastSearch_t)(int32_t* args, DVSNET_SEARCH_CALLBACK* callback, void** context);
typedef const FakeSdkConfig* (*FakeSdk_LastConfig_t)(void);
}
