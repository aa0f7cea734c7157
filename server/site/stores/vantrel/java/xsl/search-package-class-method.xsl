<?xml version="1.0" encoding="UTF-8"?>
<!-- Over one package's data file: the methods named methodname of the class named classname
     (of every class when classname is empty). A method name with a signature, such as
     substring(int, int), picks that overload; blanks do not matter. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>

  <xsl:variable name="wanted" select="translate($classname, '$', '.')"/>
  <xsl:variable name="classes"
      select="/package/class[$wanted = '' or translate(className, '$', '.') = $wanted
              or translate(translate(className, '$', '.'), $upper, $lower) = translate($wanted, $upper, $lower)]"/>
  <xsl:variable name="method" select="translate($methodname, ' ', '')"/>
  <xsl:variable name="withSignature" select="contains($method, '(')"/>
  <xsl:variable name="exact"
      select="$classes/method[($withSignature and translate(concat(methodName, signature), ' ', '') = $method)
              or (not($withSignature) and methodName = $method)]"/>
  <xsl:variable name="folded"
      select="$classes/method[translate(methodName, $upper, $lower)
              = translate(substring-before(concat($method, '('), '('), $upper, $lower)]"/>

  <xsl:template match="/">
    <xsl:choose>
      <xsl:when test="$method = ''">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="/.."/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$exact">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="$exact"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="results"><xsl:with-param name="hits" select="$folded"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="class/method" mode="hit">
    <class>
      <className><xsl:value-of select="translate(../className, '$', '.')"/></className>
      <packageName><xsl:value-of select="../packageName"/></packageName>
      <kind><xsl:value-of select="../@kind"/></kind>
      <method>
        <methodName><xsl:value-of select="methodName"/></methodName>
        <signature><xsl:value-of select="signature"/></signature>
      </method>
    </class>
  </xsl:template>
</xsl:stylesheet>
