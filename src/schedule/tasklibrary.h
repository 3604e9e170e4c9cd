#pragma once
// The task library behind addTask, loaded beside the program on first need
// and kept until the program ends.
#include <cstdint>
#include <string>

namespace orbisk {

inline constexpr char kTaskLibraryFileName[] = "liborbisk_sched.so";

class TaskLibrary {
public:
    enum class Status { Loaded, NoLibrary, NoFunction };
    using AddTaskFn = std::int32_t (*)(const char*, const char*, std::int32_t, std::int32_t, std::int32_t,
                                       std::int32_t, std::int32_t);

    // `path`: the library's file (the program's folder + kTaskLibraryFileName).
    explicit TaskLibrary(std::string path) : path_(std::move(path)) {}
    virtual ~TaskLibrary();
    TaskLibrary(const TaskLibrary&) = delete;
    TaskLibrary& operator=(const TaskLibrary&) = delete;

    // Loads the library and finds addTask; once found, it stays. A failed
    // attempt leaves nothing loaded and is made again on the next call.
    virtual Status load();
    // The file name the error messages show.
    std::string fileName() const;
    // addTask: program (may be empty; file-system bytes), command
    // (Windows-1251), run time.
    virtual std::int32_t addTask(const std::string& program, const std::string& command, int year, int month,
                                 int day, int hour, int minute);
    // What the queue answered to the last addTask (Windows-1251), if told.
    virtual std::string lastAnswer() const;

private:
    std::string path_;
    void* handle_ = nullptr;
    AddTaskFn addTask_ = nullptr;
    const char* (*answer_)() = nullptr;
};

}  // namespace orbisk
