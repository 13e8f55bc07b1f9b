#pragma once
// The workers of the preview: ScanThread reads the database and builds the folder tree,
// ItemListThread reads the documents of one folder. Their reports reach the window as queued
// signals; the window owns every widget.

#include "nsfview/core/PreviewScan.h"

#include <QThread>

#include <vector>

// Wraps the report callbacks of the core into signals of `thread`.
template <typename Thread>
ScanReport SignalReport(Thread* thread) {
    return {[thread](const QString& text) { emit thread->status(text); },
            [thread](int maximum) { emit thread->progressRange(maximum); },
            [thread](int position) { emit thread->progressPosition(position); }};
}

class ScanThread : public QThread {
    Q_OBJECT
  public:
    explicit ScanThread(ViewerSession& session, QObject* parent = nullptr)
        : QThread(parent), session_(session) {}
    // Valid once finished() was emitted.
    PreviewScanResult& Result() { return result_; }

  signals:
    void status(const QString& text);
    void progressRange(int maximum);
    void progressPosition(int position);

  protected:
    void run() override { result_ = RunPreviewScan(session_, SignalReport(this)); }

  private:
    ViewerSession& session_;
    PreviewScanResult result_;
};

class ItemListThread : public QThread {
    Q_OBJECT
  public:
    ItemListThread(ViewerSession& session, std::uint32_t noteId, QObject* parent = nullptr)
        : QThread(parent), session_(session), noteId_(noteId), options_(session.Options()) {}
    std::vector<ItemRecord>& Records() { return records_; }

  signals:
    void status(const QString& text);
    void progressRange(int maximum);
    void progressPosition(int position);

  protected:
    void run() override;

  private:
    ViewerSession& session_;
    std::uint32_t noteId_;
    RunOptions options_;
    std::vector<ItemRecord> records_;
};
