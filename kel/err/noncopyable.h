// Base class for classes whose objects must not be copied or assigned.
//
// Derive privately (class X : kel_boost::noncopyable); copying or assigning an X then fails to
// compile. Moving is not offered either.
#ifndef CORVEX_KEL_ERR_NONCOPYABLE_H
#define CORVEX_KEL_ERR_NONCOPYABLE_H

namespace kel::kel_boost {

class noncopyable {
 protected:
  noncopyable() = default;
  ~noncopyable() = default;

 public:
  noncopyable(const noncopyable&) = delete;
  noncopyable& operator=(const noncopyable&) = delete;
};

}  // namespace kel::kel_boost

#endif
