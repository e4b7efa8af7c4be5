#include "app/job_queue.h"

std::deque<CJobData> g_jobQueue;
CRITICAL_SECTION g_csJobQueue;

CJobData& CJobData::operator=(const CJobData& other) {
  m_nType = other.m_nType;
  if (this != &other) m_strData = other.m_strData;
  return *this;
}

void PushJob(const CJobData& job) {
  EnterCriticalSection(&g_csJobQueue);
  g_jobQueue.push_back(job);
  LeaveCriticalSection(&g_csJobQueue);
}

bool TakeJob(CJobData& job) {
  EnterCriticalSection(&g_csJobQueue);
  if (g_jobQueue.empty()) {
    LeaveCriticalSection(&g_csJobQueue);
    return false;
  }
  job = g_jobQueue.front();
  g_jobQueue.pop_front();
  LeaveCriticalSection(&g_csJobQueue);
  return true;
}
