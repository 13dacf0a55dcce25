#pragma once

#include <cstdint>
#include <string>

#include "serial/com_types.h"
#include "serial/component.h"

namespace lantorvix {

class TCustomComPort;

// The four settings objects a port owns. Each holds a non-owning reference back to its port
// (none for a free-standing copy, which only stores). A setter stores a changed value and
// re-applies its group on the port (which does nothing unless the port is open); an equal
// value does nothing. Assign copies the setting fields straight over, without re-applying.
// Thread-safety: main thread only, like the port's properties.

class TComTimeouts : public TPersistent {
public:
    explicit TComTimeouts(TCustomComPort* port = nullptr) : port_(port) {}
    TComTimeouts(const TComTimeouts& other) : TPersistent(other), port_(nullptr) { CopyFrom(other); }
    TComTimeouts& operator=(const TComTimeouts&) = delete;
    std::string ClassName() const override { return "TComTimeouts"; }

    TCustomComPort* ComPort() const { return port_; }
    std::int32_t ReadInterval() const { return readInterval_; }
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetReadInterval(std::int32_t value);
    void SetReadTotalMultiplier(std::int32_t value);
    void SetReadTotalConstant(std::int32_t value);
    void SetWriteTotalMultiplier(std::int32_t value);
    void SetWriteTotalConstant(std::int32_t value);

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    void CopyFrom(const TComTimeouts& other);
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* port_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

class TComFlowControl : public TPersistent {
public:
    explicit TComFlowControl(TCustomComPort* port = nullptr) : port_(port) {}
    TComFlowControl(const TComFlowControl& other) : TPersistent(other), port_(nullptr) { CopyFrom(other); }
    TComFlowControl& operator=(const TComFlowControl&) = delete;
    std::string ClassName() const override { return "TComFlowControl"; }

    TCustomComPort* ComPort() const { return port_; }
    bool OutCTSFlow() const { return outCTSFlow_; }
    bool OutDSRFlow() const { return outDSRFlow_; }
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    char XonChar() const { return xonChar_; }
    char XoffChar() const { return xoffChar_; }
    // Summary of ControlRTS, OutCTSFlow, XonXoffIn and XonXoffOut; never stored.
    TFlowControl FlowControl() const;

    void SetOutCTSFlow(bool value);
    void SetOutDSRFlow(bool value);
    void SetControlDTR(TDTRFlowControl value);
    void SetControlRTS(TRTSFlowControl value);
    void SetXonXoffOut(bool value);
    void SetXonXoffIn(bool value);
    void SetDSRSensitivity(bool value);
    void SetTxContinueOnXoff(bool value);
    void SetXonChar(char value);
    void SetXoffChar(char value);
    // fcCustom changes nothing; the others reset the four summary fields and set theirs.
    // The port's control block is re-applied in every case.
    void SetFlowControl(TFlowControl value);

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    void CopyFrom(const TComFlowControl& other);
    template <typename T> void Set(T& field, T value);
    void ApplyDCB();

    TCustomComPort* port_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = TDTRFlowControl::dtrDisable;
    TRTSFlowControl controlRTS_ = TRTSFlowControl::rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

class TComParity : public TPersistent {
public:
    explicit TComParity(TCustomComPort* port = nullptr) : port_(port) {}
    TComParity(const TComParity& other) : TPersistent(other), port_(nullptr) { CopyFrom(other); }
    TComParity& operator=(const TComParity&) = delete;
    std::string ClassName() const override { return "TComParity"; }

    TCustomComPort* ComPort() const { return port_; }
    TParityBits Bits() const { return bits_; }
    bool Check() const { return check_; }
    bool Replace() const { return replace_; }
    char ReplaceChar() const { return replaceChar_; }
    void SetBits(TParityBits value);
    void SetCheck(bool value);
    void SetReplace(bool value);
    void SetReplaceChar(char value);

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    void CopyFrom(const TComParity& other);
    template <typename T> void Set(T& field, T value);

    TCustomComPort* port_;
    TParityBits bits_ = TParityBits::prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComBuffer : public TPersistent {
public:
    explicit TComBuffer(TCustomComPort* port = nullptr) : port_(port) {}
    TComBuffer(const TComBuffer& other) : TPersistent(other), port_(nullptr) { CopyFrom(other); }
    TComBuffer& operator=(const TComBuffer&) = delete;
    std::string ClassName() const override { return "TComBuffer"; }

    TCustomComPort* ComPort() const { return port_; }
    std::int32_t InputSize() const { return inputSize_; }
    std::int32_t OutputSize() const { return outputSize_; }
    // A positive odd size is stored one less (even); the equality test uses the stored value.
    void SetInputSize(std::int32_t value);
    void SetOutputSize(std::int32_t value);

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    void CopyFrom(const TComBuffer& other);
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* port_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

} // namespace lantorvix
