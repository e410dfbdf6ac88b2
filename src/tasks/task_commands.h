#pragma once

#include <cstdint>
#include <string>

#include "service/service_controller.h"

namespace tasks {

// 1: Task Scheduler 1.0 (before Windows NT 6.0); 2: Task Scheduler 2.0.
using SchedulerVersion = std::uint32_t;

// 2 on the NT platform from major version 6 on, else 1.
SchedulerVersion SelectSchedulerVersion();

// Made for one registration: the executable's path and the scheduler chosen.
struct TaskRegistrar {
  explicit TaskRegistrar(std::wstring path) : executablePath(std::move(path)), version(SelectSchedulerVersion()) {}
  const std::wstring executablePath;
  const SchedulerVersion version;
};

// "-createDefaultTask" and the end of "-install": resets the bookkeeping
// (attempts 0, last check 0, frequency 1, each only if the one before was
// written) and registers the hourly task for the controller's executable.
// The result is the registration's.
bool CreateDefaultTask(const service::ServiceController& controller);

// "-deleteTask" and the start of "-uninstall": deletes the bookkeeping values
// (each only if the one before was deleted) and the task. The result is the
// task deletion's.
bool RemoveDefaultTask();

bool RegisterUpdateTask(const std::wstring& executablePath);

// Delete the task; true only when the scheduler answers exactly S_OK.
bool UnregisterWithTaskScheduler1();
bool UnregisterWithTaskScheduler2();

}  // namespace tasks
