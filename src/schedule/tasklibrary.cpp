#include "schedule/tasklibrary.h"

#include <dlfcn.h>

#include <filesystem>

#include "base/codepage.h"

namespace orbisk {

TaskLibrary::~TaskLibrary() {
    if (handle_) ::dlclose(handle_);
}

TaskLibrary::Status TaskLibrary::load() {
    if (addTask_) return Status::Loaded;
    if (!handle_) handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return Status::NoLibrary;
    addTask_ = reinterpret_cast<AddTaskFn>(::dlsym(handle_, "AddTask"));
    if (!addTask_) {
        ::dlclose(handle_);
        handle_ = nullptr;
        return Status::NoFunction;
    }
    answer_ = reinterpret_cast<const char* (*)()>(::dlsym(handle_, "AddTaskAnswer"));
    return Status::Loaded;
}

std::string TaskLibrary::fileName() const {
    return utf8ToAnsi(std::filesystem::path(path_).filename().string());
}

std::int32_t TaskLibrary::addTask(const std::string& program, const std::string& command, int year, int month,
                                  int day, int hour, int minute) {
    if (!addTask_) return 0;
    return addTask_(program.c_str(), command.c_str(), year, month, day, hour, minute);
}

std::string TaskLibrary::lastAnswer() const {
    return answer_ ? utf8ToAnsi(answer_()) : std::string();
}

}  // namespace orbisk
