#pragma once

#include "taskloop.h"

#include "threads/uithread.h"

#include <exception>
#include <thread>

namespace cli {

// Runs a job's count pass and copy pass on a worker while this thread shows what they post
// (the printer is told the count between them), as the dialogs run them. What goes wrong in
// the printer (on this thread) ends the run like the job's own faults, rather than vanishing
// with the task that met it: both are thrown here once the worker is over.
template <typename Job, typename Printer> void runBothPasses(Job& job, Printer& printer) {
    TaskLoop loop;
    std::exception_ptr shown;
    auto before = threads::setPostedExceptionHandler([&shown](std::exception_ptr error) {
        if (!shown)
            shown = error;
    });
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            job.runPass(true);
            threads::postToUiThread([&printer, files = job.FileTotal(), bytes = job.TotalBytes()] {
                printer.counted(files, bytes);
            });
            job.runPass(false);
        } catch (...) {
            failure = std::current_exception(); // read after the join
        }
        threads::postToUiThread([&loop] { loop.quit(); }); // after everything the job posted
    });
    loop.run();
    worker.join();
    threads::setPostedExceptionHandler(std::move(before));
    if (failure)
        std::rethrow_exception(failure);
    if (shown)
        std::rethrow_exception(shown);
}

} // namespace cli
