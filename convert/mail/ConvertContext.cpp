#include "convert/mail/ConvertContext.h"

const RunOptions& ConvertContext::Options() const {
    static const RunOptions defaults;
    return options != nullptr ? *options : defaults;
}

void ConvertContext::Log(const QString& text) const {
    if (log != nullptr) log->Write(text);
}

void ConvertContext::LogLineEnd() const {
    if (log != nullptr) log->LineEnd();
}

void ConvertContext::AddError() const {
    if (counts == nullptr) return;
    ++counts->errors;
    if (Options().counterMode == 1) ++counts->secondErrors;
}

void ConvertContext::AddWarning() const {
    if (counts == nullptr) return;
    ++counts->warnings;
    if (Options().counterMode == 1) ++counts->secondWarnings;
}
