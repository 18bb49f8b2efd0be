#pragma once

#include "store/DataControl.h"

namespace store {

// For its lifetime a data control keeps its failures in lastError() and
// shows no box of its own: the caller tells them, with what it knows.
// Afterwards the control is as silenced as it was before.
class SilencedErrors
{
public:
    explicit SilencedErrors(DataControl *data) : m_data(data), m_before(data->errorsSilenced())
    {
        m_data->setErrorsSilenced(true);
    }
    ~SilencedErrors() { m_data->setErrorsSilenced(m_before); }
    SilencedErrors(const SilencedErrors &) = delete;
    SilencedErrors &operator=(const SilencedErrors &) = delete;

private:
    DataControl *m_data;
    bool m_before;
};

} // namespace store
