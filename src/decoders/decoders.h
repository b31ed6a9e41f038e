// Protocol decoders: pure functions from a record's parameter words to the decoded
// packet as UTF-16 text. Items of the text are separated by "\n\t"; an empty result
// means there is nothing to show. They keep no state, so calls may overlap freely.
//
//   DecodeHciCommand      message 1355  HCI command packet, one byte per word
//   DecodeHciEvent        message 1358  HCI event packet, one byte per word
//   DecodeLmpSent         message 3091  LMP PDU sent, basic opcode
//   DecodeLmpSentExt      message 3092  LMP PDU sent, extended opcode
//   DecodeLmpReceived     message 3093  LMP PDU received, basic opcode
//   DecodeLmpReceivedExt  message 3094  LMP PDU received, extended opcode
//
// Each Append* form appends the same text to `out` instead of returning a new string,
// so a caller that builds a whole line can reuse one buffer and allocate nothing.
#pragma once

#include <string>

#include "decoders/param_words.h"

namespace nimbrel {

std::u16string DecodeHciCommand(ParamWords words);
std::u16string DecodeHciEvent(ParamWords words);
std::u16string DecodeLmpSent(ParamWords words);
std::u16string DecodeLmpSentExt(ParamWords words);
std::u16string DecodeLmpReceived(ParamWords words);
std::u16string DecodeLmpReceivedExt(ParamWords words);

void AppendHciCommand(std::u16string& out, ParamWords words);
void AppendHciEvent(std::u16string& out, ParamWords words);
void AppendLmpSent(std::u16string& out, ParamWords words);
void AppendLmpSentExt(std::u16string& out, ParamWords words);
void AppendLmpReceived(std::u16string& out, ParamWords words);
void AppendLmpReceivedExt(std::u16string& out, ParamWords words);

}  // namespace nimbrel
