// The job record, the queue of jobs waiting for the worker, and the lock that guards it.
#pragma once

#include <deque>
#include <string>

#include "platform/win32.h"

#define JOB_NONE 0  // a record whose creator set no type; no handler takes it
#define JOB_UPDATE 1
#define JOB_SENDLOG 2
#define JOB_NOTICE 3

class CJobData {
 public:
  CJobData() : m_nType(JOB_NONE) {}
  CJobData(const CJobData& other) : m_nType(other.m_nType), m_strData(other.m_strData) {}
  ~CJobData() {}
  virtual CJobData& operator=(const CJobData& other);

  int m_nType;
  std::string m_strData;
};

extern std::deque<CJobData> g_jobQueue;
extern CRITICAL_SECTION g_csJobQueue;

// Appends a copy of the record (main thread).
void PushJob(const CJobData& job);
// Moves the oldest record into job and returns true; false, with job untouched, when the
// queue is empty (worker thread).
bool TakeJob(CJobData& job);
