#pragma once

#include <QProgressBar>

#include <cstdint>
#include <optional>

// A progress bar of a dialog: placed by the dialog, without text, from 0 to `maximum`.
QProgressBar* progressBar(QWidget* parent, const char* name, QRect geometry, int maximum);

// Shows a pass's files on the bar: the total as the maximum (at least one step: a range of
// 0..0 would show the busy animation), and the files handled as the position.
void showFileProgress(QProgressBar* bar, int64_t total, std::optional<int64_t> position);
