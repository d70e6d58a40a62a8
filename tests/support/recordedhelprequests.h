// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Stands in for the desktop's help viewer in a test. Header-only: the support library links no widgets.

#include "platform/desktop.h"
#include "ui/dialogs/help.h"

#include <QDir>
#include <QStringList>
#include <QUrl>

namespace testsupport {

// Records every help file that would have been opened, for the lifetime of a scope; application and opens
// are what the desktop would answer.
class RecordedHelpRequests {
public:
    RecordedHelpRequests()
    {
        ui::HelpViewer::setApplicationQuery([this](const QString &) { return application; });
        ui::HelpViewer::setHandler([this](const QUrl &url) {
            files.append(QDir::toNativeSeparators(url.toLocalFile()));
            return opens;
        });
    }
    ~RecordedHelpRequests()
    {
        ui::HelpViewer::setHandler({});
        ui::HelpViewer::setApplicationQuery({});
    }
    RecordedHelpRequests(const RecordedHelpRequests &) = delete;
    RecordedHelpRequests &operator=(const RecordedHelpRequests &) = delete;

    QStringList files; // local paths, in native form, of the files handed to a viewer
    platform::DesktopApplication application = platform::DesktopApplication::Found;
    bool opens = true;
};

} // namespace testsupport
