#include "serial/com_settings.h"

#include "serial/com_port.h"

namespace lantorvix {

// TComTimeouts

void TComTimeouts::Set(std::int32_t& field, std::int32_t value)
{
    if (field == value) {
        return;
    }
    field = value;
    if (port_ != nullptr) {
        port_->ApplyTimeouts();
    }
}

void TComTimeouts::SetReadInterval(std::int32_t value)
{
    Set(readInterval_, value);
}
void TComTimeouts::SetReadTotalMultiplier(std::int32_t value)
{
    Set(readTotalMultiplier_, value);
}
void TComTimeouts::SetReadTotalConstant(std::int32_t value)
{
    Set(readTotalConstant_, value);
}
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t value)
{
    Set(writeTotalMultiplier_, value);
}
void TComTimeouts::SetWriteTotalConstant(std::int32_t value)
{
    Set(writeTotalConstant_, value);
}

void TComTimeouts::CopyFrom(const TComTimeouts& other)
{
    readInterval_ = other.readInterval_;
    readTotalMultiplier_ = other.readTotalMultiplier_;
    readTotalConstant_ = other.readTotalConstant_;
    writeTotalMultiplier_ = other.writeTotalMultiplier_;
    writeTotalConstant_ = other.writeTotalConstant_;
}

void TComTimeouts::AssignTo(TPersistent& dest) const
{
    if (auto* target = dynamic_cast<TComTimeouts*>(&dest)) {
        target->CopyFrom(*this);
        return;
    }
    TPersistent::AssignTo(dest);
}

// TComFlowControl

template <typename T> void TComFlowControl::Set(T& field, T value)
{
    if (field == value) {
        return;
    }
    field = value;
    ApplyDCB();
}

void TComFlowControl::ApplyDCB()
{
    if (port_ != nullptr) {
        port_->ApplyDCB();
    }
}

void TComFlowControl::SetOutCTSFlow(bool value)
{
    Set(outCTSFlow_, value);
}
void TComFlowControl::SetOutDSRFlow(bool value)
{
    Set(outDSRFlow_, value);
}
void TComFlowControl::SetControlDTR(TDTRFlowControl value)
{
    Set(controlDTR_, value);
}
void TComFlowControl::SetControlRTS(TRTSFlowControl value)
{
    Set(controlRTS_, value);
}
void TComFlowControl::SetXonXoffOut(bool value)
{
    Set(xonXoffOut_, value);
}
void TComFlowControl::SetXonXoffIn(bool value)
{
    Set(xonXoffIn_, value);
}
void TComFlowControl::SetDSRSensitivity(bool value)
{
    Set(dsrSensitivity_, value);
}
void TComFlowControl::SetTxContinueOnXoff(bool value)
{
    Set(txContinueOnXoff_, value);
}
void TComFlowControl::SetXonChar(char value)
{
    Set(xonChar_, value);
}
void TComFlowControl::SetXoffChar(char value)
{
    Set(xoffChar_, value);
}

TFlowControl TComFlowControl::FlowControl() const
{
    using R = TRTSFlowControl;
    if (controlRTS_ == R::rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) {
        return TFlowControl::fcHardware;
    }
    if (controlRTS_ == R::rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) {
        return TFlowControl::fcSoftware;
    }
    if (controlRTS_ == R::rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) {
        return TFlowControl::fcNone;
    }
    return TFlowControl::fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value)
{
    if (value != TFlowControl::fcCustom) {
        controlRTS_ = TRTSFlowControl::rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == TFlowControl::fcHardware) {
            controlRTS_ = TRTSFlowControl::rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == TFlowControl::fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    ApplyDCB();
}

void TComFlowControl::CopyFrom(const TComFlowControl& other)
{
    outCTSFlow_ = other.outCTSFlow_;
    outDSRFlow_ = other.outDSRFlow_;
    controlDTR_ = other.controlDTR_;
    controlRTS_ = other.controlRTS_;
    xonXoffOut_ = other.xonXoffOut_;
    xonXoffIn_ = other.xonXoffIn_;
    dsrSensitivity_ = other.dsrSensitivity_;
    txContinueOnXoff_ = other.txContinueOnXoff_;
    xonChar_ = other.xonChar_;
    xoffChar_ = other.xoffChar_;
}

void TComFlowControl::AssignTo(TPersistent& dest) const
{
    if (auto* target = dynamic_cast<TComFlowControl*>(&dest)) {
        target->CopyFrom(*this);
        return;
    }
    TPersistent::AssignTo(dest);
}

// TComParity

template <typename T> void TComParity::Set(T& field, T value)
{
    if (field == value) {
        return;
    }
    field = value;
    if (port_ != nullptr) {
        port_->ApplyDCB();
    }
}

void TComParity::SetBits(TParityBits value)
{
    Set(bits_, value);
}
void TComParity::SetCheck(bool value)
{
    Set(check_, value);
}
void TComParity::SetReplace(bool value)
{
    Set(replace_, value);
}
void TComParity::SetReplaceChar(char value)
{
    Set(replaceChar_, value);
}

void TComParity::CopyFrom(const TComParity& other)
{
    bits_ = other.bits_;
    check_ = other.check_;
    replace_ = other.replace_;
    replaceChar_ = other.replaceChar_;
}

void TComParity::AssignTo(TPersistent& dest) const
{
    if (auto* target = dynamic_cast<TComParity*>(&dest)) {
        target->CopyFrom(*this);
        return;
    }
    TPersistent::AssignTo(dest);
}

// TComBuffer

void TComBuffer::Set(std::int32_t& field, std::int32_t value)
{
    if (field == value) {
        return;
    }
    field = value;
    if (field > 0 && field % 2 == 1) {
        --field;
    }
    if (port_ != nullptr) {
        port_->ApplyBuffer();
    }
}

void TComBuffer::SetInputSize(std::int32_t value)
{
    Set(inputSize_, value);
}
void TComBuffer::SetOutputSize(std::int32_t value)
{
    Set(outputSize_, value);
}

void TComBuffer::CopyFrom(const TComBuffer& other)
{
    inputSize_ = other.inputSize_;
    outputSize_ = other.outputSize_;
}

void TComBuffer::AssignTo(TPersistent& dest) const
{
    if (auto* target = dynamic_cast<TComBuffer*>(&dest)) {
        target->CopyFrom(*this);
        return;
    }
    TPersistent::AssignTo(dest);
}

} // namespace lantorvix
