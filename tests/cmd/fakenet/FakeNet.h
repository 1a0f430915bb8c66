#pragma once
// Control interface of the scripted transport library used by the command
// layer tests. The library exports the Net* functions and these controls.
#include <cstddef>
#include <cstdint>

extern "C" {

struct FakeNetCounts {
  int recData;
  int sendData;
  int restartRxTimeOut;
  int getRxStatus;
  int initialize;
  int selectParams;
  int shutDown;
  uint32_t lastArmTime;
  uint32_t lastRestart;
  uint8_t lastInitMode;
};

void FakeNetReset(void);
// Statuses returned by the next NetGetRxStatus calls, in order; after the
// script 0 is returned.
void FakeNetScriptStatuses(const uint8_t* statuses, size_t count);
// The answer copied into the armed buffer when a request is sent.
void FakeNetSetAnswer(const uint8_t* bytes, size_t count);
// Results of the next NetRecData calls (after the script: 0).
void FakeNetScriptArmResults(const uint8_t* results, size_t count);
void FakeNetSetSendResult(uint8_t result);
void FakeNetSetSelectResult(uint8_t result);
void FakeNetGetCounts(FakeNetCounts* out);
// The last request sent.
size_t FakeNetLastRequest(uint8_t* out, size_t capacity);
// Answers for the next requests, one each, before the standing answer.
void FakeNetQueueAnswer(const uint8_t* bytes, size_t count);
// Every request since the reset: how many, and request i.
size_t FakeNetRequestCount(void);
size_t FakeNetRequest(size_t index, uint8_t* out, size_t capacity);
}
