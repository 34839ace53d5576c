#include "display/recording_control.h"

#include <cstdlib>

#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include "display/name_file_dlg.h"
#include "link/dialogs/message_box.h"
#include "recording/channel_table.h"
#include "recording/clock_update.h"
#include "recording/converter_launcher.h"
#include "recording/intake_state.h"
#include "recording/recorder_messages.h"
#include "recording/recording_setup.h"

namespace nereid::display {

namespace {

class CQueuedMessages : public recording::CRecorderMessages {
public:
    explicit CQueuedMessages(QObject* target) : m_Target(target) {}
    void ShowMessage(const std::string& text, const char* caption) override {
        const QString qText = QString::fromStdString(text);
        const QString qCaption = QString::fromUtf8(caption);
        QObject* target = m_Target.data();
        if (target == nullptr)
            return;
        if (QThread::currentThread() == target->thread()) {
            link::ShowMessage(qobject_cast<QWidget*>(target), qCaption, qText);
            return;
        }
        QPointer<QObject> guard(target);
        QMetaObject::invokeMethod(
            target,
            [guard, qCaption, qText] {
                if (guard)
                    link::ShowMessage(qobject_cast<QWidget*>(guard.data()), qCaption, qText);
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<QObject> m_Target;
};

// Owns the clock update beside the messages it reports through.
class CRecorderSink : public CQueuedMessages {
public:
    explicit CRecorderSink(QObject* target) : CQueuedMessages(target), clock(this) {}
    recording::CClockUpdate clock;
};

} // namespace

std::unique_ptr<recording::CRecorderMessages> MakeQueuedMessages(QObject* target) {
    return std::make_unique<CQueuedMessages>(target);
}

int StartRecording(RecordingContext& context, recording::RecordingForm form,
                   const std::string& minutes) {
    auto sink = std::make_unique<CRecorderSink>(context.parent);
    std::unique_ptr<recording::CConverterLauncher> converter;
    if (form == recording::RecordingForm::kSeisan) {
        const char* folder = std::getenv("NEREID_WAVEXPORT_DIR");
        converter = std::make_unique<recording::CConverterLauncher>(
            recording::CConverterLauncher::FindConverter(folder != nullptr ? folder : ""),
            sink.get());
    }
    recording::CFileRecorder::Services services;
    services.messages = sink.get();
    services.converter = converter.get();
    services.clock = &sink->clock;
    recording::RecordingSetupRequest request;
    request.form = form;
    request.minutesText = minutes;
    request.stationName = context.stationName;
    request.network = context.mseed.network;
    request.components = context.mseed.components;
    std::unique_ptr<recording::CFileRecorder> recorder;
    // The recorder keeps these services for its whole life; the setup's own refusals go
    // through the same sink, which shows them at once on this thread.
    const int prepared = recording::PrepareRecorder(request, *context.channels, services, recorder);
    if (prepared != 1)
        return prepared;
    if (!context.install)
        return -1;
    if (const int installed =
            context.install(std::move(recorder), std::move(converter), std::move(sink));
        installed != 1)
        return installed;
    recording::ArmRecording(*context.state, form);
    if (context.showProgress)
        context.showProgress(true);
    if (context.showDestination)
        context.showDestination(RecordingDestination(*context.channels));
    return 1;
}

std::string RecordingDestination(const recording::CChannelTable& table) {
    std::string folders;
    for (const auto& [number, channel] : table.m_ChanMap) {
        if (!channel.recordEnable || channel.rate <= 0)
            continue;
        if (("; " + folders + "; ").find("; " + channel.directory + "; ") != std::string::npos)
            continue;
        folders += (folders.empty() ? "" : "; ") + channel.directory;
    }
    return folders;
}

int RunRecordingSetup(RecordingContext& context, recording::RecordingForm form) {
    if (context.channels == nullptr || context.state == nullptr)
        return -1;
    const std::unique_ptr<recording::CRecorderMessages> now = MakeQueuedMessages(context.parent);
    CNameFileDlg dialog(form, *context.channels, now.get(), context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    return StartRecording(context, form, dialog.MinutesText().toStdString());
}

} // namespace nereid::display
