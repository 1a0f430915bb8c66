#pragma once
// The scripted data manager of the runner and workbench tests. The library
// exports the Dm* entry points and FakeDmStateOf, through which a test in the
// same process scripts the answers and reads the calls. A test that runs a
// program on it scripts through the file $FAKE_DM_CONFIG instead (section
// [Fake], read again whenever it changes) and reads the calls from the file
// $FAKE_DM_LOG, one a line.
#include "common/DmRecords.h"
#include "common/Records.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeDmState {
  // Every call, as "DmName arguments" (addresses of erase and program in hex).
  std::vector<std::string> calls;

  // A started worker answers 192 to this many status polls (-1: until it is
  // stopped), then its status.
  int polls = 2;
  uint32_t progress = 50;
  // Called at every status poll while a worker runs (tests act there, in
  // the middle of a wait).
  std::function<void()> onPoll;
  // SIGINT at this status poll of a worker (from 1; 0: never), in every stop
  // request, and this many times in a chip erase.
  int interruptAtPoll = 0;
  bool interruptInStop = false;
  int interruptsInEraseChip = 0;
  // The answers of DmStopCurrentThread during one worker; the last repeats.
  std::vector<uint32_t> stopResults{0};

  uint32_t loginResult = 0;
  uint32_t loginStatus = 0;
  uint8_t firmware[3] = {2, 1, 7};
  uint32_t checkOld = 0;
  // The libraries found per flash start; a start not listed finds
  // defaultLibraries. findResult answers before any is found, findEndResult
  // once all are.
  std::map<uint32_t, std::vector<zk::FlashLibInfo>> libraries;
  std::vector<zk::FlashLibInfo> defaultLibraries;
  uint32_t findResult = 0;
  uint32_t findEndResult = 0;
  uint32_t selectResult = 0;
  // The blocks of the flash whose base address was set last; a base not
  // listed gives defaultBlocks.
  std::map<uint32_t, std::vector<zk::FlashBlock>> blocks;
  std::vector<zk::FlashBlock> defaultBlocks;
  uint32_t sectorInfosResult = 0;
  std::vector<zk::AddressRange> protectedAreas;
  std::vector<zk::AddressRange> noAccessAreas;
  uint32_t enableResult = 0;

  // Sector erase and status: results of the call and of the worker; the
  // erase worker's list on failure; the blank status per sector address
  // (absent: not blank), which a successful erase sets.
  uint32_t eraseResult = 0;
  uint32_t eraseStatus = 0;
  std::vector<zk::SectorEntry> eraseEntries;
  uint32_t statusResult = 0;
  uint32_t statusFinal = 0;
  std::map<uint32_t, uint8_t> sectorStatus;
  uint32_t eraseChipResult = 0;
  std::vector<zk::SectorEntry> eraseChipEntries;

  // Image files and programming: results of the call and of the worker.
  // A successful save writes savedContent to the file.
  uint32_t loadResult = 0;
  uint32_t loadStatus = 0;
  uint32_t saveResult = 0;
  uint32_t saveStatus = 0;
  std::string savedContent = "image";
  std::string loadProblem;  // what DmGetLoadProblem tells
  uint32_t progResult = 0;
  uint32_t progStatus = 0;
  uint32_t readResult = 0;
  uint32_t readStatus = 0;
  // What DmGetHexFileInfo reports.
  uint32_t imageBytes = 0;
  std::vector<zk::RangeRequest> neededSectors;
  uint32_t passwordResult = 0;

  // Worker state.
  bool running = false;
  int pollsLeft = 0;
  int pollCount = 0;
  std::size_t stops = 0;
  uint32_t endStatus = 0;
  uint32_t status = 0;
  uint32_t base = 0;
  // Buffers handed out and not given back (at unload a call "unreturned n"
  // counts them); buffers given back that were never handed out.
  std::set<void*> handouts;
  int unknownFrees = 0;
};

extern "C" FakeDmState* FakeDmStateOf(void);
