#pragma once
// What the four examples pass: their statements, built from their clause
// texts, their captions and the connection strings of the sample folder.

#include <string>

namespace vendrel::demo {

std::string Statement1();
std::string Statement2();
std::string Statement3();
std::string Statement4();

std::string Caption1();
std::string Caption2();
std::string Caption3();
std::string Caption4();

// The database NWIND.mdb in the folder, and the folder as a text database.
std::string DatabaseConnectionString(const std::string& sampleFolder);
std::string TextConnectionString(const std::string& sampleFolder);

}  // namespace vendrel::demo
