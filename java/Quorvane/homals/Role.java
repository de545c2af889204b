package Quorvane.homals;

/** Whether a variable shapes the solution or is only placed in it afterwards. */
public enum Role {
  /** Determines the object scores. */
  ACTIVE,
  /** Quantified from the object scores of the active variables; does not change them. */
  PASSIVE
}
